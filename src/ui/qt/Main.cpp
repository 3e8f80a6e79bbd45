// Program entry: the command-line options that need no window first, then
// the application, the program's window and services, and the event loop
// until the main window closes.

#include <QApplication>

#include <iostream>

#include "CommandLine.h"
#include "Pictures.h"
#include "Program.h"
#include "WindowPlacement.h"

int main(int argc, char* argv[]) {
    const auto action = vm4417::ui::ParseCommandLine(argc, argv);
    if (action != vm4417::ui::CommandLineAction::Window) {
        return vm4417::ui::RunCommandLineAction(action, std::cout, std::cerr);
    }
    vm4417::ui::FitScaleToScreen(argc, argv);
    QApplication application(argc, argv);
    application.setWindowIcon(vm4417::ui::ProgramIcon());
    vm4417::ui::Program program(argc > 0 ? argv[0] : "vm4417");
    program.Show();
    return application.exec();
}
