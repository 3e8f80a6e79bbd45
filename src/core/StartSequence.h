#pragma once
// How a start of the window goes, decided before any window, port scan or
// file: the working folder (a start at login only enters one that is
// there), then one program per working folder. Each system takes a lock on
// the folder that the kernel releases when its holder dies (posix/FolderLock,
// win32/FolderLock); its outcome says whether this start goes on, hands
// over to the program already working there (the UI folders' HandOver), or
// goes on with a warning.

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "Clock.h"
#include "Status.h"

namespace vm4417 {

// A short name for a working folder: 16 hex digits of a hash of its
// canonical path (case-folded by the caller where the system's names ignore
// case). The lock's and the hand-over's names carry it.
std::string FolderKey(std::string_view canonicalPath);

// The working folder a start has entered: its path as the operator knows
// it, and its key.
struct WorkingFolder {
    std::string path;
    std::string key;
};

// ---- the folder at login ----------------------------------------------------

// How long a start at login waits for its folder to appear: a network
// folder may be mounted a little after the desktop starts its programs.
inline constexpr std::chrono::seconds kLoginFolderWait{15};

// Enters the folder of a start at login through `enter`, which never makes
// it: a missing folder is tried again until kLoginFolderWait is over. The
// last try's outcome.
Status EnterLoginFolder(const std::function<Status()>& enter, Clock& clock);

// What the operator is told when a start at login cannot work in `folder`
// (empty: its entry names none), from the last try's outcome. The start
// then ends: a second program in a new, empty folder would start from the
// defaults, number captures from 1 and write a settings file of its own.
std::string LoginFolderFailureLine(std::string_view folder, const Status& entered);

// ---- one program per folder -------------------------------------------------

enum class FolderLockOutcome {
    Taken,          // this process holds it now, for its whole life
    HeldByAnother,  // a program already works in the folder
    Unavailable,    // the folder cannot be locked (a file system without locks)
};

enum class StartWay {
    GoOn,        // the window, answering later starts in the folder
    HandOver,    // ask the running program to show its window, and end
    GoOnWarned,  // the window; later starts in the folder cannot be told apart
};

struct StartDecision {
    StartWay way = StartWay::GoOn;
    std::string warning;  // GoOnWarned: the line for standard error, said once
};

// A folder that cannot be locked never stops the program. `detail` is the
// lock's own reason when it is unavailable.
StartDecision DecideStart(FolderLockOutcome lock, std::string_view folder, std::string_view detail);

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
