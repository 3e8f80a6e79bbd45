#include "WinFont.h"

#include <string_view>
#include <vector>

namespace vm4417::ui {

namespace {

// Every letter with a diacritic that Czech uses, both cases.
constexpr std::wstring_view kCzechLetters =
    L"\u00e1\u010d\u010f\u00e9\u011b\u00ed\u0148\u00f3\u0159\u0161\u0165\u00fa\u016f\u00fd\u017e"
    L"\u00c1\u010c\u010e\u00c9\u011a\u00cd\u0147\u00d3\u0158\u0160\u0164\u00da\u016e\u00dd\u017d";

constexpr const wchar_t* kCandidates[] = {
    L"MS Sans Serif",  // the design's face; a TrueType version on Windows
    L"Microsoft Sans Serif",
    L"Tahoma",                  // Wine's own Tahoma lacks U+016F, so the test below drops it
    L"Liberation Sans Narrow",  // Debian fonts-liberation, seen by Wine through fontconfig
    L"Liberation Sans",
    L"DejaVu Sans Condensed",
    L"Segoe UI",
};

}  // namespace

std::span<const wchar_t* const> UiFontCandidates() { return kCandidates; }

int FontHeight(int points, int dpi) { return -MulDiv(points, dpi, 72); }

HFONT CreateUiFont(const std::wstring& face, int height, bool bold) {
    return CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, face.c_str());
}

bool DrawsCzech(HDC dc, HFONT font) {
    const HGDIOBJ old = SelectObject(dc, font);
    std::vector<WORD> glyphs(kCzechLetters.size());
    const DWORD converted =
        GetGlyphIndicesW(dc, kCzechLetters.data(), static_cast<int>(kCzechLetters.size()),
                         glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
    SelectObject(dc, old);
    if (converted != kCzechLetters.size()) return false;
    for (WORD glyph : glyphs) {
        if (glyph == 0xFFFF || glyph == 0) return false;
    }
    return true;
}

SIZE TextSize(HDC dc, HFONT font, const std::wstring& text) {
    const HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    return size;
}

}  // namespace vm4417::ui
