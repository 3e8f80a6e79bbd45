// Capture time texts and the daily log file, on a real file system.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "FakeClock.h"
#include "Global.h"
#include "TempDir.h"
#include "posix/PosixFileStore.h"

namespace vm4417 {
namespace {

using test::FakeClock;
using test::ReadFileText;
using test::TempDir;
using test::WorkingDirectory;

TEST(CaptureTime, TwoDigitsAndTimeText) {
    EXPECT_EQ(TwoDigits(2026), "26");
    EXPECT_EQ(TwoDigits(5), "05");
    EXPECT_EQ(TwoDigits(123), "3");
    EXPECT_EQ(TwoDigits(0), "00");
    EXPECT_EQ(TimeText({2026, 12, 7, 0, 0, 7}), "00:00:07");
    EXPECT_EQ(TimeText({2026, 12, 7, 23, 59, 59}), "23:59:59");
    EXPECT_EQ(LogFileName({2026, 12, 6, 9, 41, 5}), "VM06D12M.txt");
    EXPECT_EQ(LogFileName({2027, 1, 31, 0, 0, 0}), "VM31D01M.txt");
}

class DailyLog : public ::testing::Test {
protected:
    TempDir dir;
    WorkingDirectory cwd{dir.path()};
    PosixFileStore files;
    FakeClock clock;
};

TEST_F(DailyLog, CapturesOfADayAppendInOrderAndTheYearIsNotInTheName) {
    clock.local = {2026, 12, 6, 9, 41, 5};
    ASSERT_TRUE(AppendCaptureLog(files, clock, 17, "09:41:05", "00000A1B2C3D"));
    ASSERT_TRUE(AppendCaptureLog(files, clock, 4294967295u, "09:41:06", "-16"));
    clock.local = {2027, 12, 6, 0, 0, 7};
    ASSERT_TRUE(AppendCaptureLog(files, clock, 0, "00:00:07", "1234"));
    EXPECT_EQ(ReadFileText(dir / "VM06D12M.txt"),
              "17 09:41:05 00000A1B2C3D\r\n"
              "4294967295 09:41:06 -16\r\n"
              "0 00:00:07 1234\r\n");
}

TEST_F(DailyLog, AnExistingFileIsNeverEmptied) {
    test::WriteFileBytes(dir / "VM06D12M.txt", {'o', 'l', 'd', '\r', '\n'});
    ASSERT_TRUE(AppendCaptureLog(files, clock, 1, "09:41:05", "X"));
    EXPECT_EQ(ReadFileText(dir / "VM06D12M.txt"), "old\r\n1 09:41:05 X\r\n");
}

TEST_F(DailyLog, AnUnwritablePlaceGivesFalse) {
    ASSERT_EQ(mkdir((dir / "VM06D12M.txt").c_str(), 0755), 0);
    EXPECT_FALSE(AppendCaptureLog(files, clock, 1, "09:41:05", "X"));

    clock.local.day = 7;
    const auto appended = test::RunWithReadOnlyDirectory(
        dir.path(), [&] { return AppendCaptureLog(files, clock, 1, "09:41:05", "X"); });
    if (appended) {
        EXPECT_FALSE(*appended) << "read-only directory";
    }
    EXPECT_FALSE(test::Exists(dir / "VM07D12M.txt"));
}

TEST_F(DailyLog, AnAppendCutShortLeavesTheLogAsItWas) {
    const std::string log = dir / "VM06D12M.txt";
    const std::string firstLine = "1 09:41:05 00000A1B2C3D\r\n";
    for (const bool existed : {true, false}) {
        SCOPED_TRACE(existed ? "an existing log" : "a new log");
        std::remove(log.c_str());
        if (existed) {
            ASSERT_TRUE(AppendCaptureLog(files, clock, 1, "09:41:05", "00000A1B2C3D"));
        }
        // Room for only part of the next line, as on a full disk.
        const std::size_t room = (existed ? firstLine.size() : 0) + 9;
        EXPECT_TRUE(test::RunWithFileSizeLimit(
            room, [&] { return !AppendCaptureLog(files, clock, 2, "09:41:06", "0000000000FF"); }));
        if (existed) {
            EXPECT_EQ(ReadFileText(log), firstLine) << "no half line left behind";
        } else {
            EXPECT_FALSE(test::Exists(log));
        }
        ASSERT_TRUE(AppendCaptureLog(files, clock, 3, "09:41:07", "333333333333"));
        EXPECT_EQ(ReadFileText(log), (existed ? firstLine : "") + "3 09:41:07 333333333333\r\n");
    }
}

TEST_F(DailyLog, ALinkOrFifoInPlaceOfTheLogIsRefusedWithoutWaiting) {
    const std::string log = dir / "VM06D12M.txt";
    const std::string target = dir / "elsewhere.txt";
    test::WriteFileBytes(target, {'k', 'e', 'e', 'p'});
    ASSERT_EQ(symlink(target.c_str(), log.c_str()), 0);
    EXPECT_FALSE(AppendCaptureLog(files, clock, 1, "09:41:05", "00000A1B2C3D"));
    EXPECT_EQ(ReadFileText(target), "keep") << "the link is not followed";

    ASSERT_EQ(unlink(log.c_str()), 0);
    ASSERT_EQ(mkfifo(log.c_str(), 0644), 0);
    // Nobody reads the FIFO: opening it to write would wait for ever.
    EXPECT_FALSE(AppendCaptureLog(files, clock, 1, "09:41:05", "00000A1B2C3D"));
    struct stat after {};
    ASSERT_EQ(lstat(log.c_str(), &after), 0);
    EXPECT_TRUE(S_ISFIFO(after.st_mode));
}

}  // namespace
}  // namespace vm4417
