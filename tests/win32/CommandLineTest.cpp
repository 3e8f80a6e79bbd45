// vm4417.exe's command line under Wine, run as an operator's prompt would
// run it, with its standard handles on pipes: the help, the version, misuse,
// and the port list against the readers of tests/win32/with-readers (COM5
// held by this test, COM6 and COM7 free, COM9 registered with nothing
// behind it).

#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Drv232.h"
#include "Texts.h"
#include "Version.h"
#include "win32/WideText.h"
#include "win32/Win32Serial.h"

namespace vm4417 {
namespace {

struct ProgramRun {
    DWORD exitCode = 0;
    std::string out;  // as written, CR LF and all
    std::string err;
};

std::wstring ProgramPath() {
    std::wstring path = win32::Wide(std::string("Z:") + VM4417_PROGRAM);
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

std::string ReadAll(HANDLE pipe) {
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    return text;
}

// The program with `arguments`, its output and errors on pipes of their own.
ProgramRun RunProgram(const std::wstring& arguments) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    EXPECT_TRUE(CreatePipe(&outRead, &outWrite, &inherit, 0));
    EXPECT_TRUE(CreatePipe(&errRead, &errWrite, &inherit, 0));
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    const std::wstring program = ProgramPath();
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                        0, nullptr, nullptr, &startup, &process);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    ProgramRun run;
    EXPECT_TRUE(started) << win32::ErrorText("CreateProcessW", GetLastError());
    if (started) {
        // Small outputs: the error pipe's buffer holds all of it meanwhile.
        run.out = ReadAll(outRead);
        run.err = ReadAll(errRead);
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(outRead);
    CloseHandle(errRead);
    return run;
}

std::string WithCrLf(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

struct OptionCase {
    const wchar_t* arguments;
    DWORD exitCode;
    bool helpOnOut;  // the help text on standard output, else on standard error
};

TEST(Win32CommandLine, HelpAndMisuseGiveTheWindowsHelpText) {
    const std::string options =
        std::string(text::kUsageFolderOptions) + std::string(text::kUsageDocumentsOption);
    const std::string help = WithCrLf(UsageText("vm4417.exe", options, text::kPortNamesWindows));
    const OptionCase cases[] = {
        {L"--help", 0, true},
        {L"-h", 0, true},
        {L"--help extra", 2, false},
        {L"--list-ports --verbose", 2, false},
    };
    for (const OptionCase& c : cases) {
        SCOPED_TRACE(win32::Utf8(c.arguments));
        const ProgramRun run = RunProgram(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(c.helpOnOut ? run.out : run.err, help);
        EXPECT_EQ(c.helpOnOut ? run.err : run.out, "");
    }
}

TEST(Win32CommandLine, VersionIsTheProjectVersion) {
    const ProgramRun run = RunProgram(L"--version");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.out, std::string("vm4417 ") + kProgramVersion + "\r\n");
}

// The list's line for port `number`, without its line end.
std::string LineOf(const std::string& list, std::uint8_t number) {
    std::istringstream lines(list);
    const std::string start = "COM" + std::to_string(number) + ' ';
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(start, 0) == 0) return line.substr(0, line.find_last_not_of('\r') + 1);
    }
    return {};
}

struct PortCase {
    std::uint8_t number;
    std::string_view reason;  // the words the line ends with, before the system's own
    bool usable;
};

TEST(Win32CommandLine, ThePortListGivesEachPortsReason) {
    Win32SerialPorts ports;
    ReaderLink holder(ports);
    ASSERT_TRUE(holder.OpenReaderPort(5));

    const ProgramRun run = RunProgram(L"--list-ports");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.substr(0, run.out.find('\r')), text::kPortListHeader);
    const PortCase cases[] = {
        {5, text::kPortInUse, false},
        {6, text::kPortUsable, true},
        {7, text::kPortUsable, true},
        {9, text::kPortMissing, false},
    };
    for (const PortCase& c : cases) {
        SCOPED_TRACE("COM" + std::to_string(c.number));
        const std::string line = LineOf(run.out, c.number);
        ASSERT_FALSE(line.empty()) << run.out.substr(0, 2000);
        const std::size_t reason = line.find(c.reason);
        EXPECT_NE(reason, std::string::npos) << line;
        EXPECT_EQ(line.find(text::kPortUnusable) == std::string::npos, c.usable) << line;
        if (c.usable) {
            EXPECT_EQ(reason + c.reason.size(), line.size()) << line;
        }
    }
    // The list's checks leave every port as they found it: the held one
    // still answers, a checked one opens for the next program.
    EXPECT_TRUE(holder.IdentifyReader());
    EXPECT_TRUE(ports.Open(6, ReaderPortConfig()).status.Ok());
}

// Started without a console and without handles, as from Explorer: the
// program has nowhere to write and still answers. This suite gives up its
// own console first (under CTest its output goes to pipes anyway), so that
// the program finds none to attach to; hence the last test.
TEST(Win32CommandLine, WithoutAConsoleItEndsQuietly) {
    FreeConsole();
    const std::wstring program = ProgramPath();
    std::wstring commandLine = L"\"" + program + L"\" --help";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                               DETACHED_PROCESS, nullptr, nullptr, &startup, &process));
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
}

}  // namespace
}  // namespace vm4417
