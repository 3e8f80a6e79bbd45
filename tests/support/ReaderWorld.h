#pragma once
// A throwaway world for one test: a temporary working directory, a port
// directory whose COM<n> links lead to simulated readers, the real serial
// ports and files, a fake clock and a recording key sink.

#include <memory>
#include <string>
#include <vector>

#include "FakeClock.h"
#include "ReaderSimulator.h"
#include "RecordingKeySink.h"
#include "TempDir.h"
#include "posix/PosixFileStore.h"
#include "posix/TermiosSerial.h"

namespace vm4417::test {

class ReaderWorld {
public:
    ReaderWorld();

    // A reader on port `number` that sends frames as soon as a test asks.
    readersim::ReaderSimulator& AddReader(int number, const std::string& ident = "1234");

    TempDir dir;
    WorkingDirectory cwd{dir.path()};
    std::string portDir = dir / "ports";
    TermiosSerialPorts ports{SerialLocations{portDir, "/nonexistent", "/dev"}};
    PosixFileStore files;
    FakeClock clock;
    RecordingKeySink keys{clock};
    std::vector<std::unique_ptr<readersim::ReaderSimulator>> readers;
};

}  // namespace vm4417::test
