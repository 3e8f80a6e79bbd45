#pragma once
// Reading the order number that the operator types into the counter field.

#include <cstdint>
#include <optional>
#include <string_view>

namespace vm4417 {

// Reads `text` as a signed 32-bit integer: leading spaces, at most one sign,
// then a decimal number in range or one of the prefixes "$", "x", "X", "0x",
// "0X" with up to 8 significant hexadecimal digits (80000000..FFFFFFFF are
// negative; a sign before the prefix negates). Nothing may follow.
std::optional<std::int32_t> ParseCounterInput(std::string_view text);

}  // namespace vm4417
