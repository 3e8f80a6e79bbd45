#pragma once
// Text output of a window program. A program of the Windows (GUI) subsystem
// gets no console of its own; its text goes to the file or pipe a standard
// handle was redirected to, otherwise to the console of the program that
// started it (a command prompt), otherwise nowhere (started from Explorer or
// a shortcut).

#include <windows.h>

#include <string_view>

namespace vm4417::ui {

// Writes UTF-8 text with LF line ends to STD_OUTPUT_HANDLE or
// STD_ERROR_HANDLE: on a console as UTF-16, so that Czech letters show
// whatever the console's code page; into a file or pipe as UTF-8 with CR LF.
// False when it went nowhere or not all of it was taken.
bool WriteStandard(DWORD standardHandle, std::string_view text);

}  // namespace vm4417::ui
