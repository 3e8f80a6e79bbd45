#pragma once

#include <string>
#include <string_view>

namespace vm4417 {

// Printable ASCII: space to "~".
bool IsPrintableAscii(char c);

// Code characters come from the reader unchecked. Wherever a code is shown
// or logged, a byte outside printable ASCII becomes "?", so that a control
// character can neither break a log line nor garble the window.
std::string PrintableText(std::string_view text);

}  // namespace vm4417
