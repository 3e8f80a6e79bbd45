#include "Program.h"

#include <random>

namespace vm4417::ui {

std::uint64_t EntropySeed() {
    std::random_device entropy;
    return (std::uint64_t{entropy()} << 32) | entropy();
}

Program::Program(const std::string& executablePath)
    : ports_(TermiosSerialPorts::LocationsFromEnvironment()),
      logic_(MainWindowServices{form_, ports_, files_, clock_, keys_, sound_, EntropySeed(),
                                ApplicationTitle(executablePath)}) {
    form_.Attach(logic_);
}

void Program::Show() {
    form_.show();
    // Without a window manager nobody activates a new window; asking for it
    // here makes the first activation, and with it start-up, happen anyway.
    form_.activateWindow();
}

}  // namespace vm4417::ui
