#include "SystemCommandLine.h"

#include <windows.h>

#include <string>
#include <vector>

#include "Console.h"
#include "PortAdvice.h"
#include "Program.h"
#include "SettingsPreset.h"
#include "Texts.h"
#include "win32/RunValue.h"
#include "win32/WideText.h"
#include "win32/Win32FileStore.h"
#include "win32/Win32PortDiagnostics.h"
#include "win32/WorkingFolder.h"

namespace vm4417::ui {

namespace {

std::string PortList() {
    const Win32SerialPorts ports;
    return PortListText(DiagnosePorts(ports), "HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM");
}

CommandLineSystem WindowsCommandLine() {
    const std::string options =
        std::string(text::kUsageFolderOptions) + std::string(text::kUsageDocumentsOption);
    return {UsageText("vm4417.exe", options, text::kPortNamesWindows), PortList, {}};
}

int Say(DWORD handle, const std::string& line, int status) {
    WriteStandard(handle, line + "\n");
    return status;
}

int InstallPreset(const std::string& source, const std::string& target) {
    Win32FileStore files;
    const PresetReading preset = ReadPreset(files, source);
    if (preset.load == PresetLoad::None) {
        return Say(STD_ERROR_HANDLE, InvalidPresetText(source, text::kPresetUnreadable), 1);
    }
    if (preset.load == PresetLoad::Invalid) {
        return Say(STD_ERROR_HANDLE, InvalidPresetText(source, preset.reason), 1);
    }
    const ReaderSettings::Bytes bytes = preset.settings.ToBytes();
    if (const Status saved = files.ReplaceDurably(target, bytes); !saved.Ok()) {
        return Say(STD_ERROR_HANDLE, std::string(text::kPresetNotInstalled) + saved.detail, 1);
    }
    return Say(STD_OUTPUT_HANDLE, std::string(text::kPresetInstalled) + target, 0);
}

}  // namespace

CommandLineRequest ProcessCommandLineRequest() {
    const std::vector<std::string> arguments = win32::CommandWords(GetCommandLineW());
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    return ParseCommandLineRequest(static_cast<int>(argv.size()), argv.data(),
                                   SystemOptions{true, true});
}

int RunOnConsole(CommandLineAction action) {
    return WriteOutcome(RunCommandLineAction(action, WindowsCommandLine()));
}

int WriteOutcome(const CommandLineOutcome& outcome) {
    WriteStandard(STD_OUTPUT_HANDLE, outcome.out);
    WriteStandard(STD_ERROR_HANDLE, outcome.err);
    return outcome.exitStatus;
}

}  // namespace vm4417::ui

namespace vm4417::ui {

int RunPresetOption(const CommandLineRequest& request) {
    const auto folder = win32::MachineSettingsFolder();
    if (!folder || !win32::EnterFolder(*folder).Ok()) {
        return Say(STD_ERROR_HANDLE,
                   std::string(text::kPresetNotInstalled) + folder.value_or("%ProgramData%"), 1);
    }
    return InstallPreset(request.presetSource, win32::SettingsPresetPath());
}

}  // namespace vm4417::ui
