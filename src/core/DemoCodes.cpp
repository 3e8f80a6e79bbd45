#include "DemoCodes.h"

#include <cstdio>

namespace vm4417 {

std::uint64_t EntropySeed() {
    std::random_device entropy;
    return (std::uint64_t{entropy()} << 32) | entropy();
}

std::string DemoCodes::Next() {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(draw_(engine_)));
    return text;
}

}  // namespace vm4417
