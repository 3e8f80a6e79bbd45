// Code text conversion, the counter field's parser, the application title and
// demo codes.

#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "CounterInput.h"
#include "DemoCodes.h"
#include "Drv232.h"
#include "MainWindow.h"

namespace vm4417 {
namespace {

ChipCodeFormat Format(std::string_view chars, bool decimal) {
    std::array<std::uint8_t, kRawCodeLength> raw{};
    std::copy(chars.begin(), chars.end(), raw.begin());
    return FormatChipCode(raw, decimal);
}

TEST(FormatChipCode, HexadecimalModeShowsTwelveCharactersUnchecked) {
    const auto f = Format("00000A1B2C3Dxy", false);
    EXPECT_TRUE(f.ok);
    EXPECT_EQ(f.text, "00000A1B2C3D");
    EXPECT_EQ(Format("zz!!00000000ab", false).text, "zz!!00000000");
}

TEST(FormatChipCode, DecimalModeConvertsToSigned32Bits) {
    EXPECT_EQ(Format("000000000010", true).text, "16");
    EXPECT_EQ(Format("0000FFFFFFFF", true).text, "-1");
    EXPECT_EQ(Format("00007FFFFFFF", true).text, "2147483647");
    EXPECT_EQ(Format("000080000000", true).text, "-2147483648");
    EXPECT_EQ(Format("0000000000ff", true).text, "255");
    // The number ends at a zero byte.
    EXPECT_EQ(Format(std::string_view("0010\0\0\0\0\0\0\0\0", 12), true).text, "16");
}

TEST(FormatChipCode, DecimalModeFailuresCarryTheDollarText) {
    struct Case {
        std::string_view chars;
        std::string_view message;
    };
    const Case cases[] = {
        {"00000000001G", "'$00000000001G' is not a valid integer value"},
        {"000123456789",
         "'$000123456789' is not a valid integer value"},  // nine significant digits
        {"00000000 001", "'$00000000 001' is not a valid integer value"},
        {"-00000000001", "'$-00000000001' is not a valid integer value"},
        {std::string_view("\0"
                          "00000000001",
                          12),
         "'$' is not a valid integer value"},
    };
    for (const Case& c : cases) {
        const auto f = Format(c.chars, true);
        EXPECT_FALSE(f.ok) << c.message;
        EXPECT_EQ(f.message, c.message);
    }
}

TEST(CounterInput, AcceptedForms) {
    const std::pair<std::string_view, std::int32_t> cases[] = {
        {"100", 100},
        {"  42", 42},
        {"+5", 5},
        {"-7", -7},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"$10", 16},
        {"-$10", -16},
        {"x1f", 31},
        {"X1F", 31},
        {"0x7fffffff", 2147483647},
        {"0XFFFFFFFF", -1},
        {"$80000000", INT32_MIN},
        {"$000000001", 1},
        {"-0", 0},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(ParseCounterInput(text), value) << text;
    }
}

TEST(CounterInput, RefusedForms) {
    const std::string_view cases[] = {
        "abc", "",    " ",   "-",          "+",           "$",          "0x",  "x",    "1 ",  "1x",
        "--5", "+-5", "- 5", "2147483648", "-2147483649", "$123456789", "$-5", "0x 1", "1.5", "\t5",
    };
    for (std::string_view text : cases) {
        EXPECT_FALSE(ParseCounterInput(text)) << '"' << text << '"';
    }
}

TEST(ApplicationTitle, NameUpToTheFirstFullStopCapitalised) {
    EXPECT_EQ(ApplicationTitle("vm4417"), "Vm4417");
    EXPECT_EQ(ApplicationTitle("/usr/local/bin/vm4417"), "Vm4417");
    EXPECT_EQ(ApplicationTitle("C:\\Program\\VM4417.EXE"), "Vm4417");
    EXPECT_EQ(ApplicationTitle("my.reader.bin"), "My");
}

TEST(DemoCodes, EightUpperCaseHexDigitsDrawnUniformlyOverTheRange) {
    DemoCodes codes(12345);
    constexpr int kDraws = 200000;
    constexpr int kBuckets = 64;
    std::array<int, kBuckets> histogram{};
    std::uint32_t lowest = UINT32_MAX, highest = 0;
    for (int i = 0; i < kDraws; ++i) {
        const std::string code = codes.Next();
        ASSERT_EQ(code.size(), 8u);
        ASSERT_EQ(code.find_first_not_of("0123456789ABCDEF"), std::string::npos) << code;
        const auto value = static_cast<std::uint32_t>(std::stoul(code, nullptr, 16));
        ASSERT_LE(value, 0xFFFFE37Fu);
        lowest = std::min(lowest, value);
        highest = std::max(highest, value);
        ++histogram[static_cast<std::size_t>(value / (DemoCodes::kLargest / kBuckets + 1))];
    }
    // Both ends of the range are reached within a fraction of a bucket.
    EXPECT_LT(lowest, DemoCodes::kLargest / 10000);
    EXPECT_GT(highest, DemoCodes::kLargest - DemoCodes::kLargest / 10000);
    double chiSquare = 0;
    const double expected = double(kDraws) / kBuckets;
    for (int count : histogram) chiSquare += (count - expected) * (count - expected) / expected;
    EXPECT_LT(chiSquare, 120.0) << "63 degrees of freedom; 120 is far in the tail";
}

TEST(DemoCodes, DifferentSeedsGiveDifferentStreams) {
    DemoCodes a(1), b(2);
    EXPECT_NE(a.Next() + a.Next(), b.Next() + b.Next());
}

}  // namespace
}  // namespace vm4417
