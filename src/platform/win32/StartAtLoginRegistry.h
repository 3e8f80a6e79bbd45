#pragma once
// Start at login on Windows: the value VM4417 under
// HKCU\Software\Microsoft\Windows\CurrentVersion\Run (the user's, written
// by the program and the per-user installer) and under HKLM's Run (the
// per-machine installer's, for every user). Task Manager's "Disable" leaves
// the value and writes Explorer\StartupApproved\Run beside it; the program
// honours that and never enables an entry again by itself.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "StartAtLogin.h"

namespace vm4417::win32 {

// What the registry holds for one entry.
struct RunReading {
    std::optional<std::wstring> command;  // the Run value
    std::vector<std::uint8_t> approval;   // StartupApproved\Run, empty when none
};

// The entry as the rules see it.
StartAtLoginEntry EntryOf(const RunReading& reading);

class StartAtLoginRegistry final : public StartAtLoginEntries {
public:
    // `program` is what the user's entry starts (this program's own path).
    // The roots are HKCU and HKLM; tests hand in keys of their own.
    explicit StartAtLoginRegistry(std::string program, HKEY userRoot = HKEY_CURRENT_USER,
                                  HKEY machineRoot = HKEY_LOCAL_MACHINE)
        : program_(std::move(program)), userRoot_(userRoot), machineRoot_(machineRoot) {}

    MachineEntryKind Kind() const override { return MachineEntryKind::RunsBeside; }
    Status Read(StartAtLoginEntry& user, StartAtLoginEntry& machine) override;
    Status Apply(StartAtLoginStep step, const std::string& folder) override;

private:
    std::string program_;
    HKEY userRoot_;
    HKEY machineRoot_;
};

inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kApprovedKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

}  // namespace vm4417::win32
