#pragma once
// One program per working folder on Windows, the hand-over: the first
// program's main window carries a property named after its folder; a second
// start in that folder finds it, allows its process to take the foreground
// (AllowSetForegroundWindow: the starting process has that right, the
// running one not), and asks it to restore itself and come to the front.

#include <windows.h>

#include <string>

#include "FolderInstance.h"

namespace vm4417::ui {

// The property a main window carries for its folder (see FolderKey).
std::wstring FolderPropertyName(const std::string& folderKey);
// The message a second start sends; the window answers kShownAnswer.
UINT ShowRequestMessage();
inline constexpr LRESULT kShownAnswer = 0x4417;

// Finds the window of the program working in the folder and asks it to show
// itself. Waits a few seconds for a first program that is still starting.
HandOverResult AskToShow(const std::string& folderKey);

}  // namespace vm4417::ui
