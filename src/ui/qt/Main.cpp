// Program entry: the application, then the program's window and services,
// then the event loop until the main window closes.

#include <QApplication>

#include "Pictures.h"
#include "Program.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    application.setWindowIcon(vm4417::ui::ProgramIcon());
    vm4417::ui::Program program(argc > 0 ? argv[0] : "vm4417");
    program.Show();
    return application.exec();
}
