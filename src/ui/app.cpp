// Program entry: the application, the main window and its logic, and the
// platform services they use; then the event loop until the window closes.

#include <QApplication>

#include <random>

#include "DesktopSound.h"
#include "Pictures.h"
#include "TForm1.h"
#include "mainwindow.h"
#include "posix/PosixFileStore.h"
#include "posix/SystemClock.h"
#include "posix/TermiosSerial.h"
#include "x11/XTestKeySink.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    application.setWindowIcon(vm4417::ui::ProgramIcon());

    vm4417::TermiosSerialPorts ports(vm4417::TermiosSerialPorts::LocationsFromEnvironment());
    vm4417::PosixFileStore files;
    vm4417::SystemClock clock;
    vm4417::XTestKeySink keys;
    vm4417::ui::DesktopSound sound;
    vm4417::ui::TForm1 form;

    std::random_device entropy;
    const std::uint64_t seed = (std::uint64_t{entropy()} << 32) | entropy();
    const vm4417::MainWindowServices services{
        form, ports, files, clock, keys, sound, seed,
        vm4417::ApplicationTitle(argc > 0 ? argv[0] : "vm4417")};
    vm4417::MainWindow logic(services);
    form.Attach(logic);

    form.show();
    // Without a window manager nobody activates a new window; asking for it
    // here makes the first activation, and with it start-up, happen anyway.
    form.activateWindow();
    return application.exec();
}
