#include "StartAtLoginRegistry.h"

#include "RunValue.h"
#include "WideText.h"

namespace vm4417::win32 {

namespace {

const std::wstring kValueName = Wide(kRunValueName);

Status Failure(std::string_view call, LSTATUS error) {
    return Status::Failure(error == ERROR_ACCESS_DENIED ? Fault::NoPermission : Fault::Failed,
                           ErrorText(call, static_cast<unsigned long>(error)));
}

// A value of `key` under `root`: nothing when the key or value is missing.
LSTATUS ReadValue(HKEY root, const wchar_t* key, DWORD type, std::vector<std::uint8_t>& bytes,
                  bool& present) {
    present = false;
    bytes.clear();
    DWORD size = 0;
    LSTATUS status = RegGetValueW(root, key, kValueName.c_str(), type, nullptr, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return status;
    bytes.resize(size);
    status = RegGetValueW(root, key, kValueName.c_str(), type, nullptr, bytes.data(), &size);
    if (status != ERROR_SUCCESS) return status;
    bytes.resize(size);
    present = true;
    return ERROR_SUCCESS;
}

Status ReadEntry(HKEY root, RunReading& reading) {
    std::vector<std::uint8_t> bytes;
    bool present = false;
    if (const LSTATUS s = ReadValue(
            root, kRunKey, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, bytes, present);
        s != ERROR_SUCCESS) {
        return Failure("RegGetValueW Run\\VM4417", s);
    }
    reading.command.reset();
    if (present) {
        std::wstring command(reinterpret_cast<const wchar_t*>(bytes.data()),
                             bytes.size() / sizeof(wchar_t));
        while (!command.empty() && command.back() == L'\0') command.pop_back();
        reading.command = command;
    }
    if (const LSTATUS s =
            ReadValue(root, kApprovedKey, RRF_RT_REG_BINARY, reading.approval, present);
        s != ERROR_SUCCESS) {
        return Failure("RegGetValueW StartupApproved\\Run\\VM4417", s);
    }
    return Status::Success();
}

LSTATUS SetValue(HKEY root, const wchar_t* key, DWORD type, const void* data, DWORD size) {
    HKEY opened = nullptr;
    LSTATUS status =
        RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr);
    if (status != ERROR_SUCCESS) return status;
    status =
        RegSetValueExW(opened, kValueName.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(opened);
    return status;
}

LSTATUS DeleteValue(HKEY root, const wchar_t* key) {
    const LSTATUS status = RegDeleteKeyValueW(root, key, kValueName.c_str());
    return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND ? ERROR_SUCCESS
                                                                            : status;
}

}  // namespace

StartAtLoginEntry EntryOf(const RunReading& reading) {
    StartAtLoginEntry entry;
    if (!reading.command) return entry;
    entry.present = true;
    entry.enabled = ApprovedToRun(reading.approval);
    entry.command = CommandWords(*reading.command);
    return entry;
}

Status StartAtLoginRegistry::Read(StartAtLoginEntry& user, StartAtLoginEntry& machine) {
    RunReading reading;
    if (Status s = ReadEntry(userRoot_, reading); !s.Ok()) return s;
    user = EntryOf(reading);
    reading = {};
    if (Status s = ReadEntry(machineRoot_, reading); !s.Ok()) return s;
    machine = EntryOf(reading);
    return Status::Success();
}

Status StartAtLoginRegistry::Apply(StartAtLoginStep step, const std::string& folder) {
    if (step == StartAtLoginStep::RemoveEntry) {
        if (const LSTATUS s = DeleteValue(userRoot_, kRunKey); s != ERROR_SUCCESS) {
            return Failure("RegDeleteKeyValueW Run\\VM4417", s);
        }
        if (const LSTATUS s = DeleteValue(userRoot_, kApprovedKey); s != ERROR_SUCCESS) {
            return Failure("RegDeleteKeyValueW StartupApproved\\Run\\VM4417", s);
        }
        return Status::Success();
    }
    if (step != StartAtLoginStep::WriteEntry) return Status::Success();
    const std::wstring command =
        Wide(CommandLineOf(LoginCommand(program_, folder, FolderPlace::InCommand)));
    if (const LSTATUS s = SetValue(userRoot_, kRunKey, REG_SZ, command.c_str(),
                                   static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
        s != ERROR_SUCCESS) {
        return Failure("RegSetValueExW Run\\VM4417", s);
    }
    // The operator switched it on: an entry disabled in Task Manager is
    // enabled as Task Manager itself enables it.
    RunReading reading;
    if (Status s = ReadEntry(userRoot_, reading); !s.Ok()) return s;
    if (ApprovedToRun(reading.approval)) return Status::Success();
    const std::vector<std::uint8_t> enabled = EnabledApproval();
    if (const LSTATUS s = SetValue(userRoot_, kApprovedKey, REG_BINARY, enabled.data(),
                                   static_cast<DWORD>(enabled.size()));
        s != ERROR_SUCCESS) {
        return Failure("RegSetValueExW StartupApproved\\Run\\VM4417", s);
    }
    return Status::Success();
}

}  // namespace vm4417::win32
