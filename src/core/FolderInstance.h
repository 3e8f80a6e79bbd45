#pragma once
// One program per working folder: the rule for a start in a folder where the
// program may already run. Each system takes a lock the kernel releases
// when its holder dies (posix/FolderLock, win32/FolderMutex) and hands over
// to the holder's window; what follows from the lock and the hand-over is
// decided here, before any window, port scan or file.

#include <string>
#include <string_view>

namespace vm4417 {

// A short name for a working folder: 16 hex digits of a hash of its
// canonical path (case-folded by the caller where the system's names ignore
// case). The lock's and the hand-over's names carry it.
std::string FolderKey(std::string_view canonicalPath);

enum class FolderLock {
    Taken,          // this process holds it now, for its whole life
    HeldByAnother,  // a program already works in the folder
    Unavailable,    // the folder cannot be locked (a file system without locks)
};

enum class StartPath {
    Run,       // the window, as always
    HandOver,  // ask the running program to show its window, and end
};

// A folder that cannot be locked never stops the program.
StartPath PathFor(FolderLock lock);

// The line for standard error, said once, when the folder cannot be locked.
std::string UnlockedFolderLine(std::string_view folder, std::string_view detail);

enum class HandOverResult {
    Shown,     // the running program brought its window to the front
    NoAnswer,  // it holds the folder but did not answer in time
};

struct StartEnd {
    int exitStatus = 0;
    std::string line;  // for standard error
};

// How a start that handed over ends: one line on standard error, and no
// window, no port scan and no file written either way.
StartEnd EndOfHandOver(HandOverResult result, std::string_view folder);

}  // namespace vm4417
