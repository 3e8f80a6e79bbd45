// Measures the capture cycle of the real window and logic against the
// simulated reader: chips touched at random moments, and the time from each
// frame's last byte to its list line being written. Runs on the offscreen
// platform unless QT_QPA_PLATFORM says otherwise. Prints plain figures.

#include <QApplication>
#include <QPlainTextEdit>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "FixedKeySink.h"
#include "MainWindow.h"
#include "ReaderSimulator.h"
#include "TForm1.h"
#include "posix/PosixFileStore.h"
#include "posix/SystemClock.h"
#include "posix/TermiosSerial.h"

namespace {

using Steady = std::chrono::steady_clock;
constexpr int kFrames = 100;

class NoSound final : public vm4417::InfoSound {
public:
    void Play() override {}
    void PlayWarning() override {}
};

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    char pattern[] = "/tmp/vm4417-capture-bench-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    chdir(dir.c_str());
    readersim::Options options;
    options.linkDir = dir;
    options.port = 29;
    options.holdFramesUntilFirstRequest = false;
    readersim::ReaderSimulator sim(options);
    if (!sim.Start().ok()) return 1;

    vm4417::TermiosSerialPorts ports(
        vm4417::SerialLocations{dir, "/sys/class/tty/console/active", "/dev"});
    vm4417::PosixFileStore files;
    vm4417::SystemClock clock;
    vm4417::bench::FixedKeySink keys(false);
    NoSound sound;
    vm4417::ui::TForm1 form;
    vm4417::MainWindow logic({form, ports, files, clock, keys, sound, 1, "Vm4417", {}});
    form.Attach(logic);
    form.show();
    form.activateWindow();

    std::mutex lock;
    std::vector<Steady::time_point> sentAt(kFrames + 1), listedAt(kFrames + 1);
    auto* memo = static_cast<QPlainTextEdit*>(form.Widget(vm4417::Control::Memo1));
    std::uint32_t seen = 0;
    QObject::connect(memo, &QPlainTextEdit::textChanged, [&] {
        const std::uint32_t n = logic.CaptureCounter();
        if (n > seen && n <= kFrames) listedAt[n] = Steady::now();
        seen = std::max(seen, n);
        if (seen == kFrames) QTimer::singleShot(500, &application, &QApplication::quit);
    });

    std::jthread chips([&](std::stop_token stop) {
        std::mt19937 random(4417);
        std::uniform_int_distribution<int> gapMs(700, 1500);
        std::this_thread::sleep_for(std::chrono::seconds(1));
        for (int i = 1; i <= kFrames && !stop.stop_requested(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(gapMs(random)));
            const auto sent = sim.SendFrame();
            const std::lock_guard guard(lock);
            sentAt[static_cast<std::size_t>(i)] = sent.lastByteAt;
        }
    });
    application.exec();
    chips.request_stop();
    chips.join();

    std::vector<double> latencies;
    for (int i = 1; i <= kFrames; ++i) {
        if (listedAt[i] == Steady::time_point{}) continue;
        latencies.push_back(
            std::chrono::duration<double, std::milli>(listedAt[i] - sentAt[i]).count());
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("%zu of %d frames listed; frame to list line: median %.1f ms, max %.1f ms\n",
                latencies.size(), kFrames, latencies[latencies.size() / 2], latencies.back());
    return 0;
}
