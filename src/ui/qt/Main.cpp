// Program entry: the command-line options that need no window first, then
// the application, the program's window and services, and the event loop
// until the main window closes.

#include <QApplication>

#include <iostream>

#include "Pictures.h"
#include "Program.h"
#include "SystemCommandLine.h"
#include "WindowPlacement.h"

int main(int argc, char* argv[]) {
    const auto action = vm4417::ParseCommandLine(argc, argv);
    if (action != vm4417::CommandLineAction::Window) {
        const auto outcome = vm4417::RunCommandLineAction(action, vm4417::ui::SystemCommandLine());
        std::cout << outcome.out;
        std::cerr << outcome.err;
        return outcome.exitStatus;
    }
    vm4417::ui::FitScaleToScreen(argc, argv);
    QApplication application(argc, argv);
    application.setWindowIcon(vm4417::ui::ProgramIcon());
    vm4417::ui::Program program(argc > 0 ? argv[0] : "vm4417");
    program.Show();
    return application.exec();
}
