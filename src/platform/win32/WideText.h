#pragma once
// The one place where the program's UTF-8 text meets the UTF-16 of the
// Windows "W" calls, and where a Windows error number becomes text.

#include <string>
#include <string_view>

namespace vm4417::win32 {

// Invalid input turns into U+FFFD, never into an empty string.
std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view utf16);

// "<call>: <the system's own message>" for a GetLastError() value, e.g.
// "CreateFileW \\.\COM3: The system cannot find the file specified. (2)".
std::string ErrorText(std::string_view call, unsigned long error);

}  // namespace vm4417::win32
