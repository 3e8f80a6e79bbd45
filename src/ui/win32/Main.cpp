// Program entry: the command-line options that need no window first (on
// the console the program was started from), then common controls, the
// program's window and services, and the message loop until the main window
// closes.

#include <windows.h>
#include <commctrl.h>

#include "Program.h"
#include "SystemCommandLine.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    const auto action = vm4417::ui::ProcessCommandLineAction();
    if (action != vm4417::CommandLineAction::Window) return vm4417::ui::RunOnConsole(action);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    vm4417::ui::Program program(vm4417::ui::ExecutablePath());
    if (!program.Create(instance)) return 1;
    program.Show(showCommand);
    return program.Run();
}
