// Times one start of the program, wired as the program entry wires it: from the
// process start (the kernel's record in /proc) to the window's first
// activation, and to the end of start-up (the port scan and the controls).
// Run it under an X server; VM4417_PORT_DIR and the working directory decide
// which readers and settings it finds. Prints one line.

#include <QApplication>
#include <QTimer>
#include <QWindow>

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "Program.h"

namespace {

// Milliseconds since this process was started, on the boot-time clock.
double MillisecondsSinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string line;
    std::getline(stat, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    for (int i = 3; i < 22; ++i) fields >> field;  // field 22 is the start time
    unsigned long long startTicks = 0;
    fields >> startTicks;
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double started =
        1000.0 * static_cast<double>(startTicks) / static_cast<double>(sysconf(_SC_CLK_TCK));
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6 - started;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    vm4417::ui::Program program(argv[0]);
    vm4417::ui::TForm1& form = program.Form();
    vm4417::MainWindow& logic = program.Logic();

    double shown = -1;
    QObject::connect(&application, &QGuiApplication::focusWindowChanged, [&](QWindow* window) {
        if (shown < 0 && window != nullptr && window == form.windowHandle()) {
            shown = MillisecondsSinceProcessStart();
        }
    });
    // Start-up is queued at the first activation; a zero timer that finds it
    // started fires again only after it has run.
    bool started = false;
    QTimer watch;
    watch.setInterval(0);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!started) {
            started = form.StartupQueued();
            return;
        }
        std::printf("window active after %.0f ms, start-up done after %.0f ms, reader %s\n", shown,
                    MillisecondsSinceProcessStart(), logic.ReaderFound() ? "found" : "not found");
        application.quit();
    });
    watch.start();
    program.Show();
    return application.exec();
}
