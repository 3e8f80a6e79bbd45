// Program entry: the command-line options that need no window first (on
// the console the program was started from), then the start sequence
// (StartSequence.h): the working folder, its lock, and a second start in the
// same folder handing over to the first; then common controls, the
// program's window and services, and the message loop until the main
// window closes.

#include <windows.h>
#include <commctrl.h>

#include "Console.h"
#include "HandOver.h"
#include "Program.h"
#include "StartAtLogin.h"
#include "StartSequence.h"
#include "SystemCommandLine.h"
#include "Texts.h"
#include "win32/FolderLock.h"
#include "win32/StartAtLoginRegistry.h"
#include "win32/WideText.h"
#include "win32/Win32Clock.h"
#include "win32/WorkingFolder.h"

namespace {

using vm4417::CommandLineAction;

void SayOnError(const std::string& line) {
    vm4417::ui::WriteStandard(STD_ERROR_HANDLE, "vm4417: " + line + "\n");
}

// Started from a shortcut or at login nobody sees standard error, so the
// window start also shows a box.
void TellAtStart(const vm4417::CommandLineRequest& request, const std::string& line) {
    SayOnError(line);
    if (request.action == CommandLineAction::Window) {
        MessageBoxW(nullptr, vm4417::win32::Wide(line).c_str(),
                    vm4417::win32::Wide(vm4417::text::kErrorCaption).c_str(), MB_OK | MB_ICONERROR);
    }
}

// --at-login: the folder its command names (or its entry's), entered only
// when it is there, after a wait for a late network folder.
vm4417::Status EnterLoginFolder(const vm4417::CommandLineRequest& request, std::string& folder) {
    vm4417::win32::StartAtLoginRegistry entries(vm4417::ui::ExecutablePath());
    folder = vm4417::LoginFolder(request.folder, entries);
    if (folder.empty()) return vm4417::Status::Failure(vm4417::Fault::Missing, {});
    vm4417::Win32Clock clock;
    return vm4417::EnterLoginFolder([&] { return vm4417::win32::EnterExistingFolder(folder); },
                                    clock);
}

// --folder, --in-documents: made if missing, and entered; --at-login: see
// above, and a folder that is not there is told and ends the start.
bool EnterWorkingFolder(const vm4417::CommandLineRequest& request) {
    if (request.atLogin) {
        std::string folder;
        const vm4417::Status entered = EnterLoginFolder(request, folder);
        if (!entered.Ok()) TellAtStart(request, vm4417::LoginFolderFailureLine(folder, entered));
        return entered.Ok();
    }
    std::optional<std::string> folder = request.folder;
    if (request.inDocuments) folder = vm4417::win32::DocumentsFolder();
    if (!folder && !request.inDocuments) return true;
    const vm4417::Status entered =
        folder ? vm4417::win32::EnterFolder(*folder)
               : vm4417::Status::Failure(vm4417::Fault::Missing, "FOLDERID_Documents");
    if (!entered.Ok())
        TellAtStart(request, std::string(vm4417::text::kFolderError) + entered.detail);
    return entered.Ok();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    const auto request = vm4417::ui::ProcessCommandLineRequest();
    switch (request.action) {
        case CommandLineAction::Window:
        case CommandLineAction::StartAtLogin: break;
        case CommandLineAction::InstallPreset: return vm4417::ui::RunPresetOption(request);
        default: return vm4417::ui::RunOnConsole(request.action);
    }
    if (!EnterWorkingFolder(request)) return 1;
    const vm4417::WorkingFolder folder = vm4417::win32::CurrentWorkingFolder();
    if (request.action == CommandLineAction::StartAtLogin) {
        vm4417::win32::StartAtLoginRegistry entries(vm4417::ui::ExecutablePath());
        return vm4417::ui::WriteOutcome(
            vm4417::RunStartAtLoginOption(entries, request.startAtLogin, folder.path));
    }
    vm4417::win32::FolderLock lock;
    const vm4417::StartDecision start =
        vm4417::DecideStart(lock.Take(folder), folder.path, lock.Detail());
    if (start.way == vm4417::StartWay::HandOver) {
        const vm4417::StartEnd end =
            vm4417::EndOfHandOver(vm4417::ui::AskToShow(folder.key), folder.path);
        SayOnError(end.line);
        return end.exitStatus;
    }
    if (start.way == vm4417::StartWay::GoOnWarned) SayOnError(start.warning);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    vm4417::ui::Program program(vm4417::ui::ExecutablePath());
    const bool answers = start.way == vm4417::StartWay::GoOn;
    if (!program.Create(instance, answers ? folder.key : std::string())) return 1;
    program.Show(showCommand);
    return program.Run();
}
