#include "SystemCommandLine.h"

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "Console.h"
#include "PortAdvice.h"
#include "Texts.h"
#include "win32/WideText.h"
#include "win32/Win32PortDiagnostics.h"

namespace vm4417::ui {

namespace {

std::vector<std::string> ProcessArguments() {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; wide != nullptr && i < count; ++i) arguments.push_back(win32::Utf8(wide[i]));
    LocalFree(wide);
    return arguments;
}

std::string PortList() {
    const Win32SerialPorts ports;
    return PortListText(DiagnosePorts(ports), "HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM");
}

CommandLineSystem WindowsCommandLine() {
    return {UsageText("vm4417.exe", {}, text::kPortNamesWindows), PortList, {}};
}

}  // namespace

CommandLineAction ProcessCommandLineAction() {
    const std::vector<std::string> arguments = ProcessArguments();
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    return ParseCommandLine(static_cast<int>(argv.size()), argv.data());
}

int RunOnConsole(CommandLineAction action) {
    const CommandLineOutcome outcome = RunCommandLineAction(action, WindowsCommandLine());
    WriteStandard(STD_OUTPUT_HANDLE, outcome.out);
    WriteStandard(STD_ERROR_HANDLE, outcome.err);
    return outcome.exitStatus;
}

}  // namespace vm4417::ui
