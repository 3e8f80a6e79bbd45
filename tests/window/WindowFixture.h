#pragma once
// The window logic with a fake view and clock, real files in a temporary
// working directory, and simulated readers on pseudo-terminals.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "FakeClock.h"
#include "FakeView.h"
#include "ReaderSimulator.h"
#include "RecordingKeySink.h"
#include "TempDir.h"
#include "mainwindow.h"
#include "posix/PosixFileStore.h"
#include "posix/TermiosSerial.h"

namespace vm4417::test {

class CountingSound final : public InfoSound {
public:
    void Play() override { ++plays; }
    int plays = 0;
};

class WindowTest : public ::testing::Test {
protected:
    WindowTest() { std::filesystem::create_directory(portDir); }

    // A reader on port `number`; frames go out as soon as they are sent.
    readersim::ReaderSimulator& AddReader(int number, const std::string& ident = "1234");
    void StoreSettings(const ReaderSettings& settings);
    ReaderSettings StoredSettings();
    // Settings for a start with a reader on `port`: defaults, listing mode.
    static ReaderSettings SettingsWithPort(std::uint8_t port);
    // Creates the window logic and runs start-up.
    void Start();
    // The port numbers that start-up tried, from its status texts.
    std::vector<int> TriedPorts() const;
    // Sends a frame and runs one tick of the capture cycle.
    void Capture(const std::string& code14);
    std::string ListLine(int index) const { return view.MemoLine(index); }

    TempDir dir;
    WorkingDirectory cwd{dir.path()};
    std::string portDir = dir / "ports";
    TermiosSerialPorts ports{SerialLocations{portDir, "/nonexistent", "/dev"}};
    PosixFileStore files;
    FakeClock clock;
    RecordingKeySink keys{clock};
    CountingSound sound;
    FakeView view;
    std::vector<std::unique_ptr<readersim::ReaderSimulator>> readers;
    std::unique_ptr<MainWindow> window;
};

}  // namespace vm4417::test
