// Start at login on Windows, under Wine: the Run value's command read back
// by the system's own CommandLineToArgvW, Task Manager's approval bytes,
// and the entries in registry keys of the test's own.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win32/RunValue.h"
#include "win32/StartAtLoginRegistry.h"
#include "win32/WideText.h"

namespace vm4417::win32 {
namespace {

using Words = std::vector<std::string>;

// Paths that need every rule the command line has (Windows names hold no
// quote, but the rules are checked with one too).
const char* const kFolders[] = {
    "C:\\",
    "C:\\Users\\op\\Documents\\VM4417",
    "C:\\Users\\op\\My Documents\\VM 4417",
    "\\\\server\\share\\VM4417\\\\",
    "D:\\Práce \"A\" $HOME 100% \\ x",
    "D:\\a\\\\\\\"b \"c d\"e",
    "D:\\čtečka čipů %USERPROFILE%",
};

TEST(RunValue, WindowsSplitsTheCommandBackIntoItsWords) {
    const std::string program = "C:\\Program Files\\VM4417\\vm4417.exe";
    for (const char* folder : kFolders) {
        SCOPED_TRACE(folder);
        const Words words{program, "--at-login", "--folder", folder};
        EXPECT_EQ(CommandWords(Wide(CommandLineOf(words))), words);
    }
    EXPECT_EQ(CommandWords(L"\"C:\\Program Files\\VM4417\\vm4417.exe\" --in-documents"),
              (Words{program, "--in-documents"}));
}

TEST(RunValue, TaskManagersApprovalStopsTheEntryWhenItsFirstByteIsOdd) {
    using Bytes = std::vector<std::uint8_t>;
    const std::pair<Bytes, bool> cases[] = {
        {{}, true},
        {EnabledApproval(), true},
        {{2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true},
        {{3, 0, 0, 0, 0x10, 0x5c, 0x2f, 0x8e, 0x3a, 0x6b, 0xda, 0x01}, false},
        {{6, 0, 0, 0}, true},
        {{7, 0, 0, 0}, false},
        {{1}, false},
    };
    for (const auto& [bytes, approved] : cases) {
        EXPECT_EQ(ApprovedToRun(bytes), approved)
            << "first byte " << (bytes.empty() ? -1 : bytes[0]);
    }
}

// HKCU\Software\vm4417-test\{user,machine} stand for HKCU and HKLM.
class StartAtLoginKeys : public ::testing::Test {
protected:
    HKEY user = nullptr;
    HKEY machine = nullptr;

    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\vm4417-test");
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\vm4417-test\\user", 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &user, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\vm4417-test\\machine", 0, nullptr,
                                  0, KEY_ALL_ACCESS, nullptr, &machine, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        RegCloseKey(user);
        RegCloseKey(machine);
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\vm4417-test");
    }
    std::wstring RunValue() {
        wchar_t text[1024];
        DWORD size = sizeof text;
        if (RegGetValueW(user, kRunKey, L"VM4417", RRF_RT_REG_SZ, nullptr, text, &size) !=
            ERROR_SUCCESS) {
            return {};
        }
        return text;
    }
};

TEST_F(StartAtLoginKeys, TheRunValueStartsTheProgramAtLoginInTheFolder) {
    StartAtLoginRegistry entries("C:\\Program Files\\VM4417\\vm4417.exe", user, machine);
    const std::string folder = "D:\\Práce \"A\" $HOME 100% \\ x\\";
    const StartAtLoginResult result = SwitchStartAtLogin(entries, true, folder);
    ASSERT_TRUE(result.status.Ok()) << result.status.detail;
    EXPECT_EQ(result.state.folder, folder);
    EXPECT_EQ(CommandWords(RunValue()),
              (Words{"C:\\Program Files\\VM4417\\vm4417.exe", "--at-login", "--folder", folder}));
    ASSERT_TRUE(SwitchStartAtLogin(entries, false, folder).status.Ok());
    EXPECT_EQ(RunValue(), L"");
}

}  // namespace
}  // namespace vm4417::win32
