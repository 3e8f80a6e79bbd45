// Whether the operator has the program in front, decided from readings of
// the foreground window and the main window's state.

#include <gtest/gtest.h>

#include "win32/TaskbarAlert.h"

namespace vm4417::win32 {
namespace {

constexpr DWORD kOwn = 4417;
constexpr DWORD kOther = 812;

TEST(TaskbarAlert, OnlyAnUnminimisedWindowOfThisProgramInFrontIsSeen) {
    struct Case {
        const char* what;
        FrontReading reading;
        bool inFront;
    };
    const Case cases[] = {
        {"its window in front", {kOwn, kOwn, false}, true},
        // SW_SHOWMINIMIZED leaves the window the foreground one.
        {"its window in front, minimised", {kOwn, kOwn, true}, false},
        {"another program in front", {kOther, kOwn, false}, false},
        {"no window in front", {0, kOwn, false}, false},
    };
    for (const Case& c : cases) EXPECT_EQ(InFront(c.reading), c.inFront) << c.what;
}

}  // namespace
}  // namespace vm4417::win32
