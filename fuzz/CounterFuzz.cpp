// The counter field's parser.
//
// Model: spaces, at most one sign, then either decimal digits whose value
// with the sign lies in -2147483648..2147483647, or "$", "x", "X", "0x" or
// "0X" and hexadecimal digits of at most 8 significant digits, taken as 32
// bits (a sign negates them in two's complement); nothing else, nothing
// after. Every 32-bit value written in decimal or after "$" reads back.

#include <cstdint>
#include <optional>
#include <string>

#include "CounterInput.h"
#include "FuzzInput.h"

namespace {

bool IsDecimal(char c) { return c >= '0' && c <= '9'; }
bool IsHex(char c) { return IsDecimal(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

std::string WithoutLeadingZeros(std::string digits) {
    digits.erase(0, digits.find_first_not_of('0'));
    return digits;
}

std::optional<std::int32_t> Model(std::string text) {
    text.erase(0, text.find_first_not_of(' '));
    if (text.find_first_not_of(' ') == std::string::npos) return std::nullopt;
    bool negative = false;
    if (text[0] == '+' || text[0] == '-') {
        negative = text[0] == '-';
        text.erase(0, 1);
    }
    std::size_t prefix = 0;
    if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) {
        prefix = 2;
    } else if (!text.empty() && (text[0] == '$' || text[0] == 'x' || text[0] == 'X')) {
        prefix = 1;
    }
    const std::string digits = text.substr(prefix);
    if (digits.empty()) return std::nullopt;
    if (prefix > 0) {
        for (const char c : digits) {
            if (!IsHex(c)) return std::nullopt;
        }
        const std::string significant = WithoutLeadingZeros(digits);
        if (significant.size() > 8) return std::nullopt;
        std::uint32_t bits = significant.empty()
                                 ? 0
                                 : static_cast<std::uint32_t>(std::stoul(significant, nullptr, 16));
        if (negative) bits = ~bits + 1;
        return static_cast<std::int32_t>(bits);
    }
    for (const char c : digits) {
        if (!IsDecimal(c)) return std::nullopt;
    }
    const std::string significant = WithoutLeadingZeros(digits);
    if (significant.size() > 10) return std::nullopt;
    long long value = significant.empty() ? 0 : std::stoll(significant);
    if (negative) value = -value;
    if (value < -2147483648LL || value > 2147483647LL) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::string Hex(std::uint32_t bits) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[bits & 0xF]);
        bits >>= 4;
    } while (bits != 0);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using vm4417::ParseCounterInput;
    using vm4417::fuzz::Check;
    const std::string text(reinterpret_cast<const char*>(data), size);
    Check(ParseCounterInput(text) == Model(text), "parsed value");

    if (size >= 4) {
        std::uint32_t bits = 0;
        for (int i = 0; i < 4; ++i) bits = bits << 8 | data[i];
        const auto value = static_cast<std::int32_t>(bits);
        Check(ParseCounterInput(std::to_string(value)) == value, "decimal reads back");
        Check(ParseCounterInput("$" + Hex(bits)) == value, "hexadecimal reads back");
    }
    return 0;
}
