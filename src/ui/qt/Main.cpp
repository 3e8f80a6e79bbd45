// Program entry: the command-line options that need no window first, then
// the start sequence (StartSequence.h): the working folder, its lock, and a
// second start in the same folder handing over to the first; then the
// application, the program's window and services, and the event loop until
// the main window closes.

#include <QApplication>
#include <QMessageBox>

#include <iostream>

#include "DesktopNotifications.h"
#include "HandOver.h"
#include "Pictures.h"
#include "Program.h"
#include "StartAtLogin.h"
#include "StartSequence.h"
#include "SystemCommandLine.h"
#include "Texts.h"
#include "WindowPlacement.h"
#include "posix/FolderLock.h"
#include "posix/StartAtLoginFiles.h"
#include "posix/SystemClock.h"
#include "posix/WorkingFolder.h"

namespace {

using vm4417::CommandLineAction;

void SayOnError(const std::string& line) { std::cerr << "vm4417: " << line << std::endl; }

// A start the operator may not see began at all (at login): the line on
// standard error, a desktop notification and a box.
void TellAtStart(int argc, char* argv[], const std::string& line) {
    SayOnError(line);
    const QApplication application(argc, argv);
    vm4417::DesktopNotifications notifications;
    const QString caption = QString::fromUtf8(vm4417::text::kCaption.data(),
                                              static_cast<int>(vm4417::text::kCaption.size()));
    notifications.Show(caption, QString::fromStdString(line));
    QMessageBox::critical(nullptr, caption, QString::fromStdString(line));
}

// --folder: made if missing, and entered. --at-login: the folder its command
// names or its entry keeps, entered only when it is there (after a wait for
// a late network folder); otherwise told, and the start ends.
bool EnterWorkingFolder(int argc, char* argv[], const vm4417::CommandLineRequest& request) {
    if (request.atLogin) {
        vm4417::StartAtLoginFiles entries = vm4417::StartAtLoginFiles::FromEnvironment();
        const std::string folder = vm4417::LoginFolder(request.folder, entries);
        vm4417::SystemClock clock;
        const vm4417::Status entered =
            folder.empty() ? vm4417::Status::Failure(vm4417::Fault::Missing, {})
                           : vm4417::EnterLoginFolder(
                                 [&] { return vm4417::EnterExistingFolder(folder); }, clock);
        if (!entered.Ok()) TellAtStart(argc, argv, vm4417::LoginFolderFailureLine(folder, entered));
        return entered.Ok();
    }
    if (!request.folder) return true;
    const vm4417::Status entered = vm4417::EnterFolder(*request.folder);
    if (!entered.Ok()) SayOnError(std::string(vm4417::text::kFolderError) + entered.detail);
    return entered.Ok();
}

int HandOverToTheFirst(int argc, char* argv[], const vm4417::WorkingFolder& folder) {
    const QCoreApplication application(argc, argv);
    const vm4417::HandOverResult result =
        vm4417::ui::AskToShow(folder.key, qgetenv("XDG_ACTIVATION_TOKEN"));
    const vm4417::StartEnd end = vm4417::EndOfHandOver(result, folder.path);
    SayOnError(end.line);
    return end.exitStatus;
}

}  // namespace

int main(int argc, char* argv[]) {
    const auto request = vm4417::ParseCommandLineRequest(argc, argv);
    if (request.action != CommandLineAction::Window &&
        request.action != CommandLineAction::StartAtLogin) {
        const auto outcome =
            vm4417::RunCommandLineAction(request.action, vm4417::ui::SystemCommandLine());
        std::cout << outcome.out;
        std::cerr << outcome.err;
        return outcome.exitStatus;
    }
    if (!EnterWorkingFolder(argc, argv, request)) return 1;
    const vm4417::WorkingFolder folder = vm4417::CurrentWorkingFolder();
    if (request.action == CommandLineAction::StartAtLogin) {
        vm4417::StartAtLoginFiles entries = vm4417::StartAtLoginFiles::FromEnvironment();
        const auto outcome =
            vm4417::RunStartAtLoginOption(entries, request.startAtLogin, folder.path);
        std::cout << outcome.out;
        std::cerr << outcome.err;
        return outcome.exitStatus;
    }
    vm4417::FolderLock lock;
    const vm4417::StartDecision start =
        vm4417::DecideStart(lock.Take(folder), folder.path, lock.Detail());
    if (start.way == vm4417::StartWay::HandOver) return HandOverToTheFirst(argc, argv, folder);
    if (start.way == vm4417::StartWay::GoOnWarned) SayOnError(start.warning);
    vm4417::ui::FitScaleToScreen(argc, argv);
    QApplication application(argc, argv);
    application.setWindowIcon(vm4417::ui::ProgramIcon());
    vm4417::ui::Program program(argc > 0 ? argv[0] : "vm4417");
    vm4417::ui::HandOverServer handOver(program.Form());
    if (start.way == vm4417::StartWay::GoOn && !handOver.Listen(folder.key)) {
        SayOnError(std::string(vm4417::text::kHandOverUnavailable) +
                   handOver.ErrorText().toStdString());
    }
    program.Show();
    return application.exec();
}
