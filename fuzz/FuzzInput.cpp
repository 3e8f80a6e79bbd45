#include "FuzzInput.h"

#include <cstdio>
#include <cstdlib>

namespace vm4417::fuzz {

void Mismatch(const char* what) {
    std::fprintf(stderr, "model mismatch: %s\n", what);
    std::abort();
}

}  // namespace vm4417::fuzz
