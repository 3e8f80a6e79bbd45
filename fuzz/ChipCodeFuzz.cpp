// The code text of a frame in both modes.
//
// Model: as it is, the first 12 characters unchanged. In decimal mode the
// characters up to the first zero byte, read as a hexadecimal number of at
// most 8 significant digits, written as a signed 32-bit decimal; anything
// else (no digits, a character that is no hexadecimal digit, too many
// digits) fails with "'$<characters>' is not a valid integer value".

#include <array>
#include <string>

#include "Drv232.h"
#include "FuzzInput.h"

namespace {

int DigitValue(char c) {
    const std::string digits = "0123456789abcdef";
    const auto lower = static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
    const auto at = digits.find(lower);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

vm4417::ChipCodeFormat Model(const std::array<std::uint8_t, vm4417::kRawCodeLength>& raw,
                             bool decimal) {
    std::string shown(raw.begin(), raw.begin() + 12);
    if (!decimal) return {true, shown, {}};
    const std::string text = shown.substr(0, shown.find('\0'));
    const std::string failure = "'$" + text + "' is not a valid integer value";
    if (text.empty()) return {false, {}, failure};
    std::string significant;
    for (const char c : text) {
        if (DigitValue(c) < 0) return {false, {}, failure};
        if (!significant.empty() || DigitValue(c) != 0) significant += c;
    }
    if (significant.size() > 8) return {false, {}, failure};
    long long value = 0;
    for (const char c : significant) value = value * 16 + DigitValue(c);
    if (value >= 0x80000000LL) value -= 0x100000000LL;
    return {true, std::to_string(value), {}};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vm4417;
    fuzz::FuzzInput input(data, size);
    const bool decimal = (input.Byte() & 1) != 0;
    std::array<std::uint8_t, kRawCodeLength> raw{};
    for (std::uint8_t& byte : raw) byte = input.Byte();

    const ChipCodeFormat got = FormatChipCode(raw, decimal);
    const ChipCodeFormat expected = Model(raw, decimal);
    fuzz::Check(got.ok == expected.ok, "conversion succeeded or failed");
    fuzz::Check(got.text == expected.text, "code text");
    fuzz::Check(got.message == expected.message, "conversion message");
    return 0;
}
