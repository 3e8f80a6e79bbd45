#include "CommandLine.h"

#include "Texts.h"
#include "Version.h"

namespace vm4417 {

namespace {

constexpr int kExitUsage = 2;

}  // namespace

namespace {

// The options that answer by themselves and take nothing beside them.
CommandLineAction StandaloneAction(std::string_view option, const SystemOptions& options) {
    if (option == "--help" || option == "-h") return CommandLineAction::Help;
    if (option == "--version") return CommandLineAction::Version;
    if (option == "--list-ports") return CommandLineAction::ListPorts;
    if (option == "--check-typing") return CommandLineAction::CheckTyping;
    if (options.presetInstall && option == "--install-preset") {
        return CommandLineAction::InstallPreset;
    }
    return CommandLineAction::Window;
}

CommandLineRequest Misuse() { return {CommandLineAction::Misuse}; }

}  // namespace

CommandLineRequest ParseCommandLineRequest(int argc, const char* const argv[],
                                           const SystemOptions& options) {
    CommandLineRequest request;
    if (argc >= 2) {
        const CommandLineAction standalone = StandaloneAction(argv[1], options);
        if (standalone == CommandLineAction::InstallPreset && argc == 3 && *argv[2] != '\0') {
            return {standalone, {}, false, false, StartAtLoginSwitch::Query, argv[2]};
        }
        if (standalone != CommandLineAction::Window) {
            return argc == 2 && standalone != CommandLineAction::InstallPreset
                       ? CommandLineRequest{standalone}
                       : Misuse();
        }
    }
    bool foreign = false;  // a word that is not ours, left to the toolkit
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        const auto next = [&]() -> std::optional<std::string_view> {
            if (i + 1 < argc) return std::string_view(argv[i + 1]);
            return std::nullopt;
        };
        if (StandaloneAction(word, options) != CommandLineAction::Window) return Misuse();
        if (word == kFolderOption) {
            if (request.folder || request.inDocuments || !next() || next()->empty())
                return Misuse();
            request.folder = std::string(*next());
            ++i;
        } else if (options.documentsFolder && word == kDocumentsOption) {
            if (request.folder || request.inDocuments) return Misuse();
            request.inDocuments = true;
        } else if (word == kAtLoginOption) {
            if (request.atLogin) return Misuse();
            request.atLogin = true;
        } else if (word == "--autostart") {
            if (request.action == CommandLineAction::StartAtLogin) return Misuse();
            request.action = CommandLineAction::StartAtLogin;
            if (next() == "on" || next() == "off") {
                request.startAtLogin =
                    *next() == "on" ? StartAtLoginSwitch::On : StartAtLoginSwitch::Off;
                ++i;
            }
        } else {
            foreign = true;
        }
    }
    const bool startAtLogin = request.action == CommandLineAction::StartAtLogin;
    if (foreign && startAtLogin) return Misuse();
    if (request.atLogin && (startAtLogin || request.inDocuments)) return Misuse();
    return request;
}

CommandLineAction ParseCommandLine(int argc, const char* const argv[]) {
    return ParseCommandLineRequest(argc, argv).action;
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
        case CommandLineAction::Window:
        case CommandLineAction::StartAtLogin:
        case CommandLineAction::InstallPreset: break;
    }
    return {kExitUsage, {}, {}};
}

}  // namespace vm4417
