// Program entry: common controls, the program's window and services, then
// the message loop until the main window closes.

#include <windows.h>
#include <commctrl.h>

#include "Program.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    vm4417::ui::Program program(vm4417::ui::ExecutablePath());
    if (!program.Create(instance)) return 1;
    program.Show(showCommand);
    return program.Run();
}
