#include "CommandLine.h"

#include "Texts.h"
#include "Version.h"

namespace vm4417 {

namespace {

constexpr int kExitUsage = 2;

}  // namespace

CommandLineAction ParseCommandLine(int argc, const char* const argv[]) {
    if (argc < 2) return CommandLineAction::Window;
    const std::string_view option = argv[1];
    CommandLineAction action = CommandLineAction::Window;
    if (option == "--help" || option == "-h") action = CommandLineAction::Help;
    if (option == "--version") action = CommandLineAction::Version;
    if (option == "--list-ports") action = CommandLineAction::ListPorts;
    if (option == "--check-typing") action = CommandLineAction::CheckTyping;
    if (action != CommandLineAction::Window && argc > 2) return CommandLineAction::Misuse;
    return action;
}

std::string UsageText(std::string_view program, std::string_view systemOptions,
                      std::string_view portNames) {
    std::string usage(text::kUsageStart);
    usage += program;
    usage += text::kUsageOptions;
    usage += systemOptions;
    usage += text::kUsageEnd;
    usage += portNames;
    return usage;
}

CommandLineOutcome RunCommandLineAction(CommandLineAction action, const CommandLineSystem& system) {
    switch (action) {
        case CommandLineAction::Help: return {0, system.usage, {}};
        case CommandLineAction::Version:
            return {0, std::string("vm4417 ") + kProgramVersion + '\n', {}};
        case CommandLineAction::ListPorts: return {0, system.portList(), {}};
        case CommandLineAction::CheckTyping:
            if (system.typingReport) return {0, system.typingReport(), {}};
            return {kExitUsage, {}, system.usage};
        case CommandLineAction::Misuse: return {kExitUsage, {}, system.usage};
        case CommandLineAction::Window: break;
    }
    return {kExitUsage, {}, {}};
}

}  // namespace vm4417
