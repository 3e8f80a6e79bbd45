#include "WindowFixture.h"

#include <string_view>

namespace vm4417::test {

void WindowTest::StoreSettings(const ReaderSettings& settings) {
    ASSERT_TRUE(SaveSettings(files, settings));
}

ReaderSettings WindowTest::StoredSettings() {
    ReaderSettings settings;
    EXPECT_EQ(LoadSettings(files, settings), SettingsLoad::Loaded);
    return settings;
}

ReaderSettings WindowTest::SettingsWithPort(std::uint8_t port) {
    ReaderSettings settings;
    ApplyDefaults(settings);
    settings.PortNumber = port;
    return settings;
}

void WindowTest::Start() {
    auto report = [this](const std::string& line) { reported.push_back(line); };
    const MainWindowServices services{view, ports,    files,  clock,      keys,           sound,
                                      1,    "Vm4417", report, &attention, settingsPreset, &ports};
    window = std::make_unique<MainWindow>(services);
    window->FormActivate();
}

std::vector<int> WindowTest::TriedPorts() const {
    constexpr std::string_view kPrefix = "Testuji port COM";
    std::vector<int> tried;
    for (const std::string& text : view.repaintedStatus) {
        if (text.rfind(kPrefix, 0) == 0) tried.push_back(std::stoi(text.substr(kPrefix.size())));
    }
    return tried;
}

readersim::ReaderSimulator& WindowTest::StartWithReaderOn(std::uint8_t port) {
    readersim::ReaderSimulator& reader = AddReader(port);
    StoreSettings(SettingsWithPort(port));
    Start();
    EXPECT_TRUE(window->ReaderFound());
    return reader;
}

void WindowTest::Tick() {
    clock.Advance(kTimer1Interval);
    window->Timer1Timer();
}

void WindowTest::Capture(const std::string& code14) {
    readers.front()->SendFrame(code14);
    window->Timer1Timer();
}

}  // namespace vm4417::test
