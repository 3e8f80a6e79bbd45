#include "Program.h"

#include "Console.h"
#include "win32/WideText.h"
#include "win32/WorkingFolder.h"

namespace vm4417::ui {

std::string ExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return "vm4417.exe";
        if (length < path.size()) {
            path.resize(length);
            return win32::Utf8(path);
        }
        path.resize(path.size() * 2);
    }
}

Program::Program(const std::string& executablePath)
    : keys_(win32::ReadIntegrity, win32::TargetReader(&lockNotifications_)),
      startAtLogin_(executablePath),
      form_(lockNotifications_),
      logic_(MainWindowServices{form_, ports_, files_, clock_, keys_, sound_, EntropySeed(),
                                ApplicationTitle(executablePath),
                                [](const std::string& line) {
                                    WriteStandard(STD_ERROR_HANDLE, "vm4417: " + line + "\n");
                                },
                                &attention_, win32::SettingsPresetPath(), &ports_}) {
    form_.Attach(logic_);
}

bool Program::Create(HINSTANCE instance, const std::string& folderKey) {
    if (!form_.Create(instance)) return false;
    if (!folderKey.empty()) form_.MarkFolder(folderKey);
    // The system menu's "Spouštět po přihlášení".
    form_.SetStartAtLoginItem([this] { return ReadMenuItem(startAtLogin_); },
                              [this](bool on) {
                                  SwitchFromMenu(startAtLogin_, on,
                                                 win32::CurrentFolder().value_or("."), form_);
                              });
    return true;
}

int Program::Run() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (form_.PreTranslate(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace vm4417::ui
