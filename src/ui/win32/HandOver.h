#pragma once
// One program per working folder on Windows, the hand-over between two
// starts in one folder, both sides: the first program's main window carries
// a property named with its folder's key and answers a request message by
// restoring itself and coming to the front; a second start in that folder
// finds the window, allows its process to take the foreground
// (AllowSetForegroundWindow: the starting process has that right, the
// running one not), and sends the request.

#include <windows.h>

#include <optional>
#include <string>

#include "StartSequence.h"

namespace vm4417::ui {

// The first program's side. Marks `window` as the one working in the folder
// of `folderKey`, for a second start in that folder to find; Unmark takes
// the mark away when the window goes.
void MarkFolderWindow(HWND window, const std::string& folderKey);
void UnmarkFolderWindow(HWND window, const std::string& folderKey);
// The window's answer when `message` is a second start's request: restored
// if minimised, shown and in front. Nothing for any other message.
std::optional<LRESULT> AnswerShowRequest(HWND window, UINT message);

// A second start's side: finds the window of the program working in the
// folder and asks it to show itself. Waits a few seconds for a first
// program that is still starting.
HandOverResult AskToShow(const std::string& folderKey);

}  // namespace vm4417::ui
