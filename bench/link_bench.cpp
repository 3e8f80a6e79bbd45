// Measures the reader link against the simulated reader on a pseudo-terminal:
// the CPU that polling a silent reader costs, and how soon a poll returns
// after a frame's last byte. Prints plain figures.

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

#include "Drv232.h"
#include "ReaderSimulator.h"
#include "posix/TermiosSerial.h"

namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

double ThreadCpuMilliseconds() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double Milliseconds(Steady::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void SilentPolls(vm4417::ReaderLink& link) {
    constexpr int kPolls = 100;
    const double cpuBefore = ThreadCpuMilliseconds();
    const auto wallBefore = Steady::now();
    for (int i = 0; i < kPolls; ++i) link.PollChipCode(false);
    const double wall = Milliseconds(Steady::now() - wallBefore);
    const double cpu = ThreadCpuMilliseconds() - cpuBefore;
    std::printf(
        "silent reader: %d polls took %.0f ms wall, %.2f ms CPU (%.4f %% of the wall time)\n",
        kPolls, wall, cpu, 100.0 * cpu / wall);
}

void FrameLatency(vm4417::ReaderLink& link, readersim::ReaderSimulator& sim) {
    constexpr int kFrames = 200;
    std::mt19937 random(4417);
    std::uniform_int_distribution<int> delayMs(5, 250);
    std::vector<double> latencies;
    for (int i = 0; i < kFrames; ++i) {
        readersim::Transmission sent;
        std::thread chip([&, delay = delayMs(random)] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            sent = sim.SendFrame();
        });
        const auto result = link.PollChipCode(false);
        const auto returned = Steady::now();
        chip.join();
        if (result != vm4417::ReadResult::Ok || !sent.ok()) {
            std::printf("frame %d was not read\n", i);
            continue;
        }
        latencies.push_back(Milliseconds(returned - sent.lastByteAt));
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("frame to PollChipCode return over %zu frames: median %.3f ms, max %.3f ms\n",
                latencies.size(), latencies[latencies.size() / 2], latencies.back());
}

}  // namespace

int main() {
    char pattern[] = "/tmp/vm4417-bench-XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (dir == nullptr) return 1;
    readersim::Options options;
    options.linkDir = dir;
    options.port = 1;
    options.holdFramesUntilFirstRequest = false;
    readersim::ReaderSimulator sim(options);
    if (!sim.Start().ok()) {
        std::printf("simulator: %s\n", sim.RunError().c_str());
        return 1;
    }
    vm4417::TermiosSerialPorts ports(
        vm4417::SerialLocations{dir, "/sys/class/tty/console/active", "/dev"});
    vm4417::ReaderLink link(ports);
    if (!link.OpenReaderPort(1) || !link.IdentifyReader()) {
        std::printf("no reader on the simulated port\n");
        return 1;
    }
    SilentPolls(link);
    FrameLatency(link, sim);
    link.CloseReaderPort();
    sim.Stop();
    rmdir(dir);
    return 0;
}
