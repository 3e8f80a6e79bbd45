// The Windows file store on a real (Wine) file system: atomic replacement,
// whole-line appends, and refusal of anything that is not a plain disk file.

#include <windows.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "win32/Win32FileStore.h"

namespace vm4417 {
namespace {

namespace fs = std::filesystem;

class Win32FileStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("vm4417-files-" + std::to_string(GetCurrentProcessId()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::string Contents(const std::string& name) const {
        std::ifstream in(dir_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void Put(const std::string& name, const std::string& text) const {
        std::ofstream(dir_ / name, std::ios::binary) << text;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    fs::path dir_;
    Win32FileStore files_;
};

TEST_F(Win32FileStoreTest, ReplacingWritesExactlyTheBytesAndLeavesNoTemporaryFile) {
    const std::vector<std::uint8_t> first{29, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
    const std::vector<std::uint8_t> second{3, 1, 1, 1, 0, 0, 1, 0, 2, 1, 0, 0, 0, 1, 0, 0};
    ASSERT_TRUE(files_.ReplaceDurably(Path("VM4417.INI"), first).Ok());
    ASSERT_TRUE(files_.ReplaceDurably(Path("VM4417.INI"), second).Ok());
    EXPECT_EQ(Contents("VM4417.INI"), std::string(second.begin(), second.end()));
    EXPECT_EQ(Names(), std::vector<std::string>{"VM4417.INI"});
}

TEST_F(Win32FileStoreTest, AFailedReplacementKeepsTheOldFile) {
    Put("VM4417.INI", "old");
    // A directory in the way of the target: the move must fail and the
    // temporary file must go.
    fs::create_directory(dir_ / "sub.INI");
    const Status intoFolder =
        files_.ReplaceDurably(Path("sub.INI"), std::vector<std::uint8_t>{1, 2});
    EXPECT_FALSE(intoFolder.Ok());
    EXPECT_NE(intoFolder.detail.find("MoveFileExW"), std::string::npos) << intoFolder.detail;
    const Status intoNowhere =
        files_.ReplaceDurably(Path("missing\\VM4417.INI"), std::vector<std::uint8_t>{1});
    EXPECT_EQ(intoNowhere.fault, Fault::Missing) << intoNowhere.detail;
    EXPECT_EQ(Contents("VM4417.INI"), "old");
    EXPECT_EQ(Names().size(), 2u);
}

TEST_F(Win32FileStoreTest, AppendsAddWholeLinesInOrderAndNeverTruncate) {
    Put("VM06D12M.txt", "1 09:00:00 000000000001\r\n");
    ASSERT_TRUE(files_.AppendDurably(Path("VM06D12M.txt"), "2 09:00:01 000000000002\r\n").Ok());
    ASSERT_TRUE(files_.AppendDurably(Path("VM06D12M.txt"), "3 09:00:02 000000000003\r\n").Ok());
    ASSERT_TRUE(files_.AppendDurably(Path("new.txt"), "x\r\n").Ok());
    EXPECT_EQ(Contents("VM06D12M.txt"),
              "1 09:00:00 000000000001\r\n2 09:00:01 000000000002\r\n3 09:00:02 000000000003\r\n");
    EXPECT_EQ(Contents("new.txt"), "x\r\n");
}

TEST_F(Win32FileStoreTest, ReadsAPrefixOfPlainFilesOnly) {
    Put("short.INI", "abcde");
    Put("long.INI", std::string(40, 'x'));
    struct Case {
        std::string path;
        Fault fault;
        std::string bytes;
    };
    const Case cases[] = {
        {Path("short.INI"), Fault::None, "abcde"},
        {Path("long.INI"), Fault::None, std::string(16, 'x')},
        {Path("missing.INI"), Fault::Missing, ""},
        {"NUL", Fault::WrongKind, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const FileReadResult result = files_.ReadPrefix(c.path, 16);
        EXPECT_EQ(result.opening.fault, c.fault) << result.opening.detail;
        EXPECT_EQ(std::string(result.bytes.begin(), result.bytes.end()), c.bytes);
        if (result.Opened()) {
            EXPECT_TRUE(result.complete);
        }
    }
}

TEST_F(Win32FileStoreTest, AppendsRefuseWhatIsNotAPlainFileOrIsLocked) {
    fs::create_directory(dir_ / "folder.txt");
    Put("locked.txt", "kept\r\n");
    // Another program holding the log without sharing: the append must fail
    // instead of writing around it.
    HANDLE lock = CreateFileW((dir_ / "locked.txt").wstring().c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    for (const std::string& path : {Path("folder.txt"), std::string("NUL"), Path("locked.txt")}) {
        SCOPED_TRACE(path);
        const Status status = files_.AppendDurably(path, "line\r\n");
        EXPECT_FALSE(status.Ok());
        EXPECT_FALSE(status.detail.empty());
    }
    CloseHandle(lock);
    EXPECT_EQ(Contents("locked.txt"), "kept\r\n");
}

TEST_F(Win32FileStoreTest, NamesResolveInTheCurrentDirectory) {
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(dir_.wstring().c_str()));
    const auto path = files_.PathInWorkingDirectory("VM4417.INI");
    const bool saved = path && files_.ReplaceDurably(*path, std::vector<std::uint8_t>{7}).Ok();
    SetCurrentDirectoryW(previous);
    ASSERT_TRUE(path.has_value());
    EXPECT_TRUE(saved);
    EXPECT_EQ(Contents("VM4417.INI"), "\x07");
}

}  // namespace
}  // namespace vm4417
