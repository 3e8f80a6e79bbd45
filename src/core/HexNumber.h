#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vm4417 {

// Reads `digits` (either case) as a hexadecimal number into 32 bits. Leading
// zeros are free; nothing when there are no digits, when a character is not
// a hexadecimal digit, or when more than 8 significant digits are needed.
std::optional<std::uint32_t> ParseHex32(std::string_view digits);

}  // namespace vm4417
