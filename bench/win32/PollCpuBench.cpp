// Polls of a reader that stays silent, through the Win32 serial backend:
// the wall time and the CPU time this process used.
//
//   poll-cpu-bench PORT [COUNT]     (COUNT 100 unless given)

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "Drv232.h"
#include "win32/Win32Serial.h"

namespace {

double CpuMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](FILETIME t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime) /
               1e4;
    };
    return ms(kernel) + ms(user);
}

}  // namespace

int main(int argc, char** argv) {
    const int port = argc > 1 ? std::atoi(argv[1]) : 7;
    const int count = argc > 2 ? std::atoi(argv[2]) : 100;
    vm4417::Win32SerialPorts ports;
    vm4417::ReaderLink link(ports);
    if (!link.OpenReaderPort(static_cast<std::uint8_t>(port))) return 1;
    const double cpuBefore = CpuMs();
    const auto start = std::chrono::steady_clock::now();
    int frames = 0;
    for (int i = 0; i < count; ++i) {
        frames += link.PollChipCode(false) == vm4417::ReadResult::Ok ? 1 : 0;
    }
    const double wall =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d silent polls: wall %.0f ms, process CPU %.1f ms, frames %d\n", count, wall,
                CpuMs() - cpuBefore, frames);
    return 0;
}
