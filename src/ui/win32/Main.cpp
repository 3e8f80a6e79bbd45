// Program entry: the command-line options that need no window first (on
// the console the program was started from), then the working folder and
// its lock (a second start in the same folder hands over to the first and
// ends), then common controls, the program's window and services, and the
// message loop until the main window closes.

#include <windows.h>
#include <commctrl.h>

#include "Console.h"
#include "HandOver.h"
#include "Program.h"
#include "SystemCommandLine.h"
#include "Texts.h"
#include "win32/FolderMutex.h"
#include "win32/WideText.h"
#include "win32/WorkingFolder.h"

namespace {

using vm4417::CommandLineAction;

void SayOnError(const std::string& line) {
    vm4417::ui::WriteStandard(STD_ERROR_HANDLE, "vm4417: " + line + "\n");
}

// --folder, --in-documents: made if missing, and entered. Started from a
// shortcut or at login nobody sees standard error, so the window start
// also shows a box.
bool EnterWorkingFolder(const vm4417::CommandLineRequest& request) {
    std::optional<std::string> folder = request.folder;
    if (request.inDocuments) folder = vm4417::win32::DocumentsFolder();
    if (!folder && !request.inDocuments) return true;
    const vm4417::Status entered =
        folder ? vm4417::win32::EnterFolder(*folder)
               : vm4417::Status::Failure(vm4417::Fault::Missing, "FOLDERID_Documents");
    if (entered.Ok()) return true;
    const std::string line = std::string(vm4417::text::kFolderError) + entered.detail;
    SayOnError(line);
    if (request.action == CommandLineAction::Window) {
        MessageBoxW(nullptr, vm4417::win32::Wide(line).c_str(),
                    vm4417::win32::Wide(vm4417::text::kErrorCaption).c_str(), MB_OK | MB_ICONERROR);
    }
    return false;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    const auto request = vm4417::ui::ProcessCommandLineRequest();
    switch (request.action) {
        case CommandLineAction::Window:
        case CommandLineAction::Autostart: break;
        case CommandLineAction::InstallPreset: return vm4417::ui::RunPresetOption(request);
        default: return vm4417::ui::RunOnConsole(request.action);
    }
    if (!EnterWorkingFolder(request)) return 1;
    const std::string folder = vm4417::win32::CurrentFolder().value_or(".");
    if (request.action == CommandLineAction::Autostart) {
        return vm4417::ui::RunAutostartOption(request.autostart, folder);
    }
    const std::string key =
        vm4417::FolderKey(vm4417::win32::CanonicalCurrentFolder().value_or(folder));
    vm4417::win32::FolderMutex lock;
    const vm4417::FolderLock locked = lock.Take(key);
    if (vm4417::PathFor(locked) == vm4417::StartPath::HandOver) {
        const vm4417::StartEnd end = vm4417::EndOfHandOver(vm4417::ui::AskToShow(key), folder);
        SayOnError(end.line);
        return end.exitStatus;
    }
    if (locked == vm4417::FolderLock::Unavailable) {
        SayOnError(vm4417::UnlockedFolderLine(folder, lock.Detail()));
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    vm4417::ui::Program program(vm4417::ui::ExecutablePath());
    if (!program.Create(instance, locked == vm4417::FolderLock::Taken ? key : std::string())) {
        return 1;
    }
    program.Show(showCommand);
    return program.Run();
}
