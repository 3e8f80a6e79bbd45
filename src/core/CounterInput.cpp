#include "CounterInput.h"

#include "HexNumber.h"

namespace vm4417 {

namespace {

// Length of a hexadecimal prefix at the start of `text`, or 0.
std::size_t HexPrefixLength(std::string_view text) {
    if (text.starts_with('$') || text.starts_with('x') || text.starts_with('X')) return 1;
    if (text.starts_with("0x") || text.starts_with("0X")) return 2;
    return 0;
}

// Magnitude of a decimal number, bounded so that it cannot overflow.
std::optional<std::uint64_t> ParseDecimalDigits(std::string_view digits) {
    if (digits.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > 2147483648ULL) return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<std::int32_t> ParseCounterInput(std::string_view text) {
    while (text.starts_with(' ')) text.remove_prefix(1);
    bool negative = false;
    if (text.starts_with('+') || text.starts_with('-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (const std::size_t prefix = HexPrefixLength(text); prefix > 0) {
        const auto value = ParseHex32(text.substr(prefix));
        if (!value) return std::nullopt;
        // Two's complement: negating wraps just as the stored counter does.
        const std::uint32_t bits = negative ? 0u - *value : *value;
        return static_cast<std::int32_t>(bits);
    }
    const auto magnitude = ParseDecimalDigits(text);
    if (!magnitude) return std::nullopt;
    if (!negative && *magnitude > 2147483647ULL) return std::nullopt;
    const std::int64_t value =
        negative ? -static_cast<std::int64_t>(*magnitude) : static_cast<std::int64_t>(*magnitude);
    return static_cast<std::int32_t>(value);
}

}  // namespace vm4417
