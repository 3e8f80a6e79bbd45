// Program entry: the command-line options that need no window first, then
// the working folder and its lock (a second start in the same folder hands
// over to the first and ends), then the application, the program's window
// and services, and the event loop until the main window closes.

#include <QApplication>

#include <iostream>

#include "HandOver.h"
#include "Pictures.h"
#include "Program.h"
#include "SystemCommandLine.h"
#include "Texts.h"
#include "WindowPlacement.h"
#include "posix/FolderLock.h"
#include "posix/WorkingFolder.h"

namespace {

int HandOverToTheFirst(int argc, char* argv[], const std::string& folder) {
    const QCoreApplication application(argc, argv);
    const vm4417::HandOverResult result = vm4417::ui::AskToShow(
        vm4417::ui::HandOverSocketPath(vm4417::FolderKey(folder)), qgetenv("XDG_ACTIVATION_TOKEN"));
    const vm4417::StartEnd end = vm4417::EndOfHandOver(result, folder);
    std::cerr << "vm4417: " << end.line << std::endl;
    return end.exitStatus;
}

}  // namespace

int main(int argc, char* argv[]) {
    const auto request = vm4417::ParseCommandLineRequest(argc, argv);
    using vm4417::CommandLineAction;
    if (request.action != CommandLineAction::Window &&
        request.action != CommandLineAction::Autostart) {
        const auto outcome =
            vm4417::RunCommandLineAction(request.action, vm4417::ui::SystemCommandLine());
        std::cout << outcome.out;
        std::cerr << outcome.err;
        return outcome.exitStatus;
    }
    if (request.folder) {
        if (const vm4417::Status entered = vm4417::EnterFolder(*request.folder); !entered.Ok()) {
            std::cerr << "vm4417: " << vm4417::text::kFolderError << entered.detail << std::endl;
            return 1;
        }
    }
    const std::string folder = vm4417::CurrentFolder().value_or(".");
    if (request.action == CommandLineAction::Autostart) {
        return vm4417::ui::RunAutostartOption(request.autostart, folder);
    }
    vm4417::FolderLockHolder lock;
    const vm4417::FolderLock locked = lock.Take(folder);
    if (vm4417::PathFor(locked) == vm4417::StartPath::HandOver) {
        return HandOverToTheFirst(argc, argv, folder);
    }
    if (locked == vm4417::FolderLock::Unavailable) {
        std::cerr << "vm4417: " << vm4417::UnlockedFolderLine(folder, lock.Detail()) << std::endl;
    }
    vm4417::ui::FitScaleToScreen(argc, argv);
    QApplication application(argc, argv);
    application.setWindowIcon(vm4417::ui::ProgramIcon());
    vm4417::ui::Program program(argc > 0 ? argv[0] : "vm4417");
    vm4417::ui::HandOverServer handOver;
    if (locked == vm4417::FolderLock::Taken) {
        if (handOver.Listen(vm4417::ui::HandOverSocketPath(vm4417::FolderKey(folder)))) {
            QObject::connect(&handOver, &vm4417::ui::HandOverServer::ShowRequested, &program.Form(),
                             [&program](const QString& token) { program.ShowFromHandOver(token); });
        } else {
            std::cerr << "vm4417: " << vm4417::text::kHandOverUnavailable
                      << handOver.ErrorText().toStdString() << std::endl;
        }
    }
    program.Show();
    return application.exec();
}
