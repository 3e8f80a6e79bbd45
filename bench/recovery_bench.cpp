// Measures how the real window and logic come through the reader's troubles,
// against the simulated reader (offscreen unless QT_QPA_PLATFORM says
// otherwise). Prints plain figures.
//
//   recovery_bench replug   the reader is unplugged and plugged back 10 times
//                           with a chip waiting; time from plug-back to the
//                           capture of that chip, median of 10.
//   recovery_bench burst    chips every 0.5 s for 20 s with typing, LED-off
//                           and the daily log on; counts captures sent and
//                           logged, duplicates and order.
//   recovery_bench moved    the reader is unplugged and comes back on
//                           another port number, 10 times, with a chip
//                           waiting; time from its return to the capture
//                           of that chip, median of 10.
//   recovery_bench bystanders
//                           the reader is away for 60 s; counts the
//                           requests that reach a silent device there all
//                           along, and one that appears 10 s into the wait.

#include <QApplication>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "FixedKeySink.h"
#include "Global.h"
#include "MainWindow.h"
#include "ReaderSimulator.h"
#include "TForm1.h"
#include "posix/PosixFileStore.h"
#include "posix/SystemClock.h"
#include "posix/TermiosSerial.h"

namespace {

using Steady = std::chrono::steady_clock;
using namespace std::chrono_literals;
constexpr int kPort = 29;

class NoSound final : public vm4417::InfoSound {
public:
    void Play() override {}
    void PlayWarning() override {}
};

double Milliseconds(Steady::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The shown part (the first 12 characters) differs from chip to chip.
std::string Code(int i) {
    char code[16];
    std::snprintf(code, sizeof code, "%012d00", i);
    return code;
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode != "replug" && mode != "burst" && mode != "moved" && mode != "bystanders") {
        std::fprintf(stderr, "usage: recovery_bench replug|burst|moved|bystanders\n");
        return 2;
    }
    const bool burst = mode == "burst";
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    char pattern[] = "/tmp/vm4417-recovery-bench-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    if (chdir(dir.c_str()) != 0) return 1;

    readersim::Options options;
    options.linkDir = dir;
    options.port = kPort;
    options.holdFramesUntilFirstRequest = true;
    readersim::ReaderSimulator sim(options);
    if (!sim.Start().ok()) return 1;

    vm4417::PosixFileStore files;
    vm4417::ReaderSettings settings;
    vm4417::ApplyDefaults(settings);
    settings.CodeToKeys = burst ? 1 : 0;
    settings.SaveToDisk = burst ? 1 : 0;
    if (!vm4417::SaveSettings(files, settings)) return 1;

    vm4417::TermiosSerialPorts ports(
        vm4417::SerialLocations{dir, "/sys/class/tty/console/active", "/dev"});
    vm4417::SystemClock clock;
    // Takes every key event at once; the typing pauses still take real time.
    vm4417::bench::FixedKeySink keys(true);
    NoSound sound;
    vm4417::ui::TForm1 form;
    vm4417::MainWindowServices services{form, ports, files, clock, keys, sound, 1, "Vm4417", {}};
    services.presence = &ports;
    vm4417::MainWindow logic(services);
    form.Attach(logic);
    form.show();
    form.activateWindow();

    // Captures as the window makes them, seen on the window's thread.
    std::atomic<std::uint32_t> captures{0};
    std::vector<Steady::time_point> capturedAt(100);
    auto* memo = static_cast<QPlainTextEdit*>(form.Widget(vm4417::Control::Memo1));
    auto* counter = form.Widget(vm4417::Control::Edit1);
    const auto noteCapture = [&] {
        const std::uint32_t n = logic.CaptureCounter();
        if (n > captures && n < capturedAt.size()) capturedAt[n] = Steady::now();
        captures = std::max<std::uint32_t>(captures, n);
    };
    QObject::connect(memo, &QPlainTextEdit::textChanged, noteCapture);
    QObject::connect(static_cast<QLineEdit*>(counter), &QLineEdit::textChanged, noteCapture);

    const auto waitFor = [&](std::uint32_t n, Steady::duration limit) {
        const auto until = Steady::now() + limit;
        while (captures < n && Steady::now() < until) std::this_thread::sleep_for(2ms);
        return captures >= n;
    };
    const auto quit = [&] {
        QMetaObject::invokeMethod(&application, "quit", Qt::QueuedConnection);
    };

    std::vector<double> replugMs;
    std::vector<std::string> sent;
    std::size_t quietRequests = 0;
    std::size_t newcomerRequests = 0;
    // A reader of the same identification on port `number`, as the adapter
    // that came back under it.
    std::vector<std::unique_ptr<readersim::ReaderSimulator>> returned;
    const auto readerOn = [&](int number) -> readersim::ReaderSimulator& {
        readersim::Options elsewhere = options;
        elsewhere.port = number;
        return *returned.emplace_back(std::make_unique<readersim::ReaderSimulator>(elsewhere));
    };
    std::jthread driver([&] {
        std::this_thread::sleep_for(1500ms);  // start-up: open, identify
        if (mode == "moved") {
            std::mt19937 random(4417);
            std::uniform_int_distribution<int> awayMs(500, 2500);
            readersim::ReaderSimulator* current = &sim;
            for (std::uint32_t round = 1; round <= 10; ++round) {
                current->Stop();
                std::this_thread::sleep_for(std::chrono::milliseconds(awayMs(random)));
                readersim::ReaderSimulator& next = readerOn(kPort + static_cast<int>(round));
                const auto pluggedAt = Steady::now();
                if (!next.Start().ok()) break;
                next.QueueFrame(Code(static_cast<int>(round)));
                if (!waitFor(round, 10s)) break;
                replugMs.push_back(Milliseconds(capturedAt[round] - pluggedAt));
                current = &next;
                std::this_thread::sleep_for(300ms);
            }
        } else if (mode == "bystanders") {
            readersim::ReaderSimulator& quiet = readerOn(kPort - 1);
            quiet.SetSilent(true);
            if (!quiet.Start().ok()) return quit();
            std::this_thread::sleep_for(500ms);
            sim.Stop();
            std::this_thread::sleep_for(10s);
            readersim::ReaderSimulator& newcomer = readerOn(kPort - 2);
            newcomer.SetSilent(true);
            if (!newcomer.Start().ok()) return quit();
            std::this_thread::sleep_for(50s);
            quietRequests = quiet.Requests().size();
            newcomerRequests = newcomer.Requests().size();
        } else if (!burst) {
            std::mt19937 random(4417);
            std::uniform_int_distribution<int> awayMs(500, 2500);
            for (std::uint32_t round = 1; round <= 10; ++round) {
                sim.Stop();
                std::this_thread::sleep_for(std::chrono::milliseconds(awayMs(random)));
                const auto pluggedAt = Steady::now();
                if (!sim.Start().ok()) break;
                // The chip waits on the reader and goes out after its first
                // request's reply, as a freshly plugged reader would send it.
                sim.QueueFrame(Code(static_cast<int>(round)));
                if (!waitFor(round, 10s)) break;
                replugMs.push_back(Milliseconds(capturedAt[round] - pluggedAt));
                std::this_thread::sleep_for(300ms);
            }
        } else {
            const auto start = Steady::now();
            for (int i = 1; i <= 40; ++i) {
                std::this_thread::sleep_until(start + i * 500ms);
                sent.push_back(Code(i));
                sim.SendFrame(sent.back());
            }
            waitFor(40, 60s);
            std::this_thread::sleep_for(500ms);
        }
        quit();
    });
    application.exec();
    driver.join();

    if (mode == "bystanders") {
        std::printf(
            "reader away 60 s: requests to a silent device there all along %zu, "
            "to one that appeared 10 s in %zu\n",
            quietRequests, newcomerRequests);
        return 0;
    }
    if (!burst) {
        if (replugMs.empty()) {
            std::printf("no capture after plug-back\n");
            return 1;
        }
        std::vector<double> sorted = replugMs;
        std::sort(sorted.begin(), sorted.end());
        std::printf("%s to first capture, %zu rounds:",
                    mode == "moved" ? "return on another port" : "plug-back", replugMs.size());
        for (double ms : replugMs) std::printf(" %.0f", ms);
        const double median = (sorted[(sorted.size() - 1) / 2] + sorted[sorted.size() / 2]) / 2;
        std::printf(" ms; median %.0f ms\n", median);
        return replugMs.size() == 10 ? 0 : 1;
    }
    // Every log line is "<n> <time> <12 code characters>".
    std::vector<std::string> logged;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".txt") continue;
        std::ifstream log(entry.path());
        std::string n, time, code;
        while (log >> n >> time >> code) logged.push_back(code);
    }
    std::vector<std::string> expected;
    for (const std::string& code : sent) expected.push_back(code.substr(0, 12));
    std::vector<std::string> unique = logged;
    std::sort(unique.begin(), unique.end());
    const std::size_t distinct =
        static_cast<std::size_t>(std::unique(unique.begin(), unique.end()) - unique.begin());
    const std::size_t duplicates = logged.size() - distinct;
    std::printf("chips sent %zu, captures logged %zu, duplicates %zu, in order and complete: %s\n",
                sent.size(), logged.size(), duplicates, logged == expected ? "yes" : "no");
    return logged == expected ? 0 : 1;
}
