#include "Form2Layout.h"

#include <array>

#include "Texts.h"

namespace vm4417 {

namespace {

// The maker's contact details. The program is an open project without a
// company behind it, so only the name is known; an unknown detail is shown
// as a dash. Put a real maker's details here when there is one.
constexpr std::string_view kMakerName = "vm4417";
constexpr std::string_view kMakerStreet = "";  // street and number
constexpr std::string_view kMakerTown = "";    // post code and town
constexpr std::string_view kMakerPhone = "";
constexpr std::string_view kMakerEmail = "";
constexpr std::string_view kMakerWeb = "";

constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kGreen{0, 128, 0};
constexpr Rgb kRed{255, 0, 0};

// `prefix` followed by the detail, or by a dash (U+2013) when it is unknown.
std::string Detail(std::string_view prefix, std::string_view value) {
    std::string shown(prefix);
    shown += value.empty() ? std::string_view("\u2013") : value;
    return shown;
}

}  // namespace

std::span<const LabelEntry> Form2Labels() {
    // There is no Label5: the names are the window's own.
    static const std::array<LabelEntry, 7> labels{{
        {"Label1", 40, 16, std::string(text::kMakerHeading), false, kBlue},
        {"Label2", 68, 52, Detail("", kMakerName), true, std::nullopt},
        {"Label3", 100, 80, Detail("", kMakerStreet), true, std::nullopt},
        {"Label4", 64, 108, Detail("", kMakerTown), true, std::nullopt},
        {"Label6", 72, 140, Detail(text::kPhonePrefix, kMakerPhone), false, kGreen},
        {"Label7", 64, 168, Detail(text::kEmailPrefix, kMakerEmail), false, kRed},
        {"Label8", 72, 196, Detail(text::kWebPrefix, kMakerWeb), false, kRed},
    }};
    return labels;
}

}  // namespace vm4417
