#include "PrintableText.h"

namespace vm4417 {

bool IsPrintableAscii(char c) { return c >= 0x20 && c <= 0x7E; }

std::string PrintableText(std::string_view text) {
    std::string printable;
    printable.reserve(text.size());
    for (const char c : text) printable += IsPrintableAscii(c) ? c : '?';
    return printable;
}

}  // namespace vm4417
