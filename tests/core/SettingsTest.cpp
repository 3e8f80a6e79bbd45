// The settings record and its file, on a real file system.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "Global.h"
#include "TempDir.h"
#include "posix/PosixFileStore.h"

namespace vm4417 {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WorkingDirectory;
using test::WriteFileBytes;
using Bytes = std::vector<std::uint8_t>;

class SettingsFile : public ::testing::Test {
protected:
    TempDir dir;
    WorkingDirectory cwd{dir.path()};
    PosixFileStore files;
    std::string settingsPath = dir / "VM4417.INI";
};

TEST_F(SettingsFile, FirstStartWritesTheDefaults) {
    ReaderSettings settings;
    ASSERT_EQ(LoadSettings(files, settings), SettingsLoad::Missing);
    ApplyDefaults(settings);
    ASSERT_TRUE(SaveSettings(files, settings));
    EXPECT_EQ(ReadFileBytes(settingsPath),
              (Bytes{29, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(SettingsFile, DefaultsLeaveTypingCrcAndReservedBytesAlone) {
    ReaderSettings settings;
    settings.OverlayBytes(Bytes(16, 0xEE));
    ApplyDefaults(settings);
    EXPECT_EQ(settings.ToBytes(),
              (ReaderSettings::Bytes{29, 0, 0, 0xEE, 1, 0, 0, 1, 0, 0, 0, 0, 0xEE, 0, 0xEE, 0xEE}));
}

TEST_F(SettingsFile, ShortFilesReplaceOnlyTheBytesPresent) {
    ReaderSettings settings;
    WriteFileBytes(settingsPath, {});
    EXPECT_EQ(LoadSettings(files, settings), SettingsLoad::Loaded);
    EXPECT_EQ(settings, ReaderSettings{});

    WriteFileBytes(settingsPath, {3, 1, 1, 1, 0});
    settings.SoundSignal = 1;
    EXPECT_EQ(LoadSettings(files, settings), SettingsLoad::Loaded);
    EXPECT_EQ(settings.PortNumber, 3);
    EXPECT_EQ(settings.CodeToKeys, 1);
    EXPECT_EQ(settings.LedOffAfterCode, 0);
    EXPECT_EQ(settings.SoundSignal, 1) << "offset 7 is beyond the file and keeps its value";
}

TEST_F(SettingsFile, RoundTripKeepsEveryByteAndTheCounterIsLittleEndian) {
    ReaderSettings settings;
    settings.StoredCounter = 258;
    ASSERT_TRUE(SaveSettings(files, settings));
    const Bytes bytes = ReadFileBytes(settingsPath);
    ASSERT_EQ(bytes.size(), 16u);
    EXPECT_EQ((Bytes(bytes.begin() + 8, bytes.begin() + 12)), (Bytes{2, 1, 0, 0}));

    // Odd flag values and reserved bytes come back exactly as stored.
    const Bytes odd{7, 5, 0, 2, 9, 0, 3, 0xFF, 0x78, 0x56, 0x34, 0x12, 4, 1, 0xAB, 0xCD, 0x99};
    WriteFileBytes(settingsPath, odd);
    ReaderSettings loaded;
    ASSERT_EQ(LoadSettings(files, loaded), SettingsLoad::Loaded);
    EXPECT_EQ(loaded.StoredCounter, 0x12345678u);
    ASSERT_TRUE(SaveSettings(files, loaded));
    EXPECT_EQ(ReadFileBytes(settingsPath), Bytes(odd.begin(), odd.begin() + 16));
}

TEST_F(SettingsFile, AFailedSaveKeepsThePreviousFile) {
    const Bytes previous{5, 0, 0, 0, 1, 0, 0, 1, 9, 0, 0, 0, 0, 0, 0, 0};
    WriteFileBytes(settingsPath, previous);
    ReaderSettings changed;
    changed.StoredCounter = 1000;
    const auto saved =
        test::RunWithReadOnlyDirectory(dir.path(), [&] { return SaveSettings(files, changed); });
    if (!saved) GTEST_SKIP() << "this machine allows no private mount namespace";
    EXPECT_FALSE(*saved);
    EXPECT_EQ(ReadFileBytes(settingsPath), previous);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
        << "no temporary file is left behind";
}

TEST_F(SettingsFile, AWriteThatFailsHalfwayKeepsThePreviousFile) {
    const Bytes previous{5, 0, 0, 0, 1, 0, 0, 1, 9, 0, 0, 0, 0, 0, 0, 0};
    WriteFileBytes(settingsPath, previous);
    ReaderSettings changed;
    changed.StoredCounter = 1000;
    // Only 8 of the 16 bytes can be written: a save in place would leave a
    // half-new file behind.
    const bool failedCleanly =
        test::RunWithFileSizeLimit(8, [&] { return !SaveSettings(files, changed); });
    EXPECT_TRUE(failedCleanly);
    EXPECT_EQ(ReadFileBytes(settingsPath), previous);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST_F(SettingsFile, ADirectoryInThePlaceOfTheFileFailsBothWays) {
    ASSERT_EQ(mkdir(settingsPath.c_str(), 0755), 0);
    ReaderSettings settings;
    settings.PortNumber = 4;
    EXPECT_FALSE(SaveSettings(files, settings));
    EXPECT_EQ(LoadSettings(files, settings), SettingsLoad::Unreadable)
        << "a directory has no settings to read";
    EXPECT_EQ(settings.PortNumber, 4);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST_F(SettingsFile, ARemovedWorkingDirectoryFailsWithoutTouchingTheRecord) {
    TempDir gone;
    WorkingDirectory inside(gone.path());
    ASSERT_EQ(rmdir(gone.path().c_str()), 0);
    ReaderSettings settings;
    settings.PortNumber = 12;
    EXPECT_EQ(LoadSettings(files, settings), SettingsLoad::Missing);
    EXPECT_FALSE(SaveSettings(files, settings));
    EXPECT_EQ(settings.PortNumber, 12);
}

TEST_F(SettingsFile, LongPathsAreUsedWhole) {
    // Far beyond 101 characters: a cut name would land in another file.
    std::string deep = dir.path();
    for (int i = 0; i < 6; ++i)
        deep += "/a-rather-long-directory-name-for-settings-" + std::to_string(i);
    std::filesystem::create_directories(deep);
    WorkingDirectory inside(deep);
    ReaderSettings settings;
    settings.PortNumber = 17;
    ASSERT_TRUE(SaveSettings(files, settings));
    EXPECT_TRUE(test::Exists(deep + "/VM4417.INI"));
    ReaderSettings loaded;
    ASSERT_EQ(LoadSettings(files, loaded), SettingsLoad::Loaded);
    EXPECT_EQ(loaded.PortNumber, 17);
}

}  // namespace
}  // namespace vm4417
