#include "Win32Serial.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "SystemPorts.h"
#include "WideText.h"
#include "WinePorts.h"

namespace vm4417 {

namespace {

using win32::ErrorText;

Fault FaultOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return Fault::Missing;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_ALREADY_EXISTS: return Fault::InUse;
        default: return Fault::Failed;
    }
}

// Keeps the first failure of an open that tries every step.
class Steps {
public:
    bool Note(std::string_view call, DWORD error) {
        if (status_.Ok()) status_ = Status::Failure(FaultOf(error), ErrorText(call, error));
        return false;
    }
    bool Note(Fault fault, std::string detail) {
        if (status_.Ok()) status_ = Status::Failure(fault, std::move(detail));
        return false;
    }
    const Status& status() const { return status_; }

private:
    Status status_;
};

// A write that the driver has not finished after this long fails, so that a
// stuck line cannot block the window for ever.
constexpr DWORD kWriteBoundMs = 1000;

// Errors by which Windows (and Wine) say that a device has gone away.
bool MeansDeviceGone(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_INVALID_HANDLE:
        case ERROR_NOT_READY:
        case ERROR_BAD_COMMAND:
        case ERROR_GEN_FAILURE:
        case ERROR_ACCESS_DENIED:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEVICE_REMOVED:
        case ERROR_BROKEN_PIPE: return true;
        default: return false;
    }
}

// A port without modem lines (Wine on a pseudo-terminal, some adapters)
// refuses line changes as unsupported; that is no failure.
bool ChangeModemLine(HANDLE port, DWORD function, const char* call, Steps& steps) {
    if (EscapeCommFunction(port, function)) return true;
    const DWORD error = GetLastError();
    if (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION) return true;
    return steps.Note(call, error);
}

class Handle {
public:
    explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
    ~Handle() {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Handle& operator=(Handle&&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

class Win32Line final : public SerialLine {
public:
    Win32Line(Handle port, Handle claim) : claim_(std::move(claim)), port_(std::move(port)) {}

    bool Write(std::span<const std::uint8_t> bytes) override;
    std::vector<std::uint8_t> Read(std::size_t count) override;
    bool DropModemLines() override {
        Steps steps;
        const bool dtr = ChangeModemLine(port_.get(), CLRDTR, "EscapeCommFunction CLRDTR", steps);
        const bool rts = ChangeModemLine(port_.get(), CLRRTS, "EscapeCommFunction CLRRTS", steps);
        return dtr && rts;
    }
    bool IsLost() const override { return lost_; }

private:
    void NoteFailure(DWORD error);
    void CheckDevice();

    // The port closes before the claim on its number is given up.
    Handle claim_;
    Handle port_;
    bool lost_ = false;
};

void Win32Line::NoteFailure(DWORD error) {
    if (MeansDeviceGone(error)) lost_ = true;
    CheckDevice();
}

// ClearCommError lifts the error state a failed transfer leaves behind, and
// fails itself once the device is gone. A hung-up line under Wine says so
// only here: its reads just time out with nothing.
void Win32Line::CheckDevice() {
    DWORD errors = 0;
    if (!ClearCommError(port_.get(), &errors, nullptr) && MeansDeviceGone(GetLastError())) {
        lost_ = true;
    }
}

bool Win32Line::Write(std::span<const std::uint8_t> bytes) {
    if (lost_) return false;
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 4096));
        if (!WriteFile(port_.get(), bytes.data(), wanted, &written, nullptr)) {
            NoteFailure(GetLastError());
            return false;
        }
        // The write time-out ran out with bytes left over.
        if (written == 0) return false;
        bytes = bytes.subspan(written);
    }
    return true;
}

std::vector<std::uint8_t> Win32Line::Read(std::size_t count) {
    std::vector<std::uint8_t> received(count);
    if (lost_ || count == 0) return {};
    // The port's COMMTIMEOUTS carry the interval, per-byte and total
    // time-outs, so one ReadFile is the whole bounded read.
    DWORD got = 0;
    if (!ReadFile(port_.get(), received.data(), static_cast<DWORD>(count), &got, nullptr)) {
        NoteFailure(GetLastError());
    } else if (got < count) {
        CheckDevice();
    }
    received.resize(got);
    return received;
}

// Takes port n's name for this process. False when another process (or this
// one) holds it already.
Handle ClaimPortNumber(std::uint8_t number, Steps& steps) {
    const std::wstring name = Win32SerialPorts::MutexName(number);
    Handle claim(CreateMutexW(nullptr, FALSE, name.c_str()));
    const DWORD error = GetLastError();
    if (!claim.valid()) {
        steps.Note("CreateMutexW " + win32::Utf8(name), error);
        return Handle();
    }
    if (error == ERROR_ALREADY_EXISTS) {
        steps.Note(Fault::InUse, "CreateMutexW " + win32::Utf8(name) + ": the port is in use");
        return Handle();
    }
    return claim;
}

// The device of port n, unshared; no handle unless it is a character device.
Handle OpenDevice(std::uint8_t number, Steps& steps) {
    const std::wstring name = Win32SerialPorts::DeviceName(number);
    Handle port(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!port.valid()) {
        steps.Note("CreateFileW " + win32::Utf8(name), GetLastError());
        return Handle();
    }
    SetLastError(NO_ERROR);
    const DWORD type = GetFileType(port.get());
    const DWORD error = GetLastError();
    // Wine opens a COM name whose link leads nowhere; asking that handle for
    // its type fails (where a real device of no known type would answer).
    if (type == FILE_TYPE_UNKNOWN && error != NO_ERROR) {
        steps.Note(Fault::Missing, win32::ErrorText("GetFileType " + win32::Utf8(name), error));
        return Handle();
    }
    if (type != FILE_TYPE_CHAR) {
        steps.Note(Fault::WrongKind, "CreateFileW " + win32::Utf8(name) + ": not a serial device");
        return Handle();
    }
    return port;
}

bool ApplyLine(HANDLE port, const LineSettings& line, Steps& steps) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port, &dcb)) return steps.Note("GetCommState", GetLastError());
    // Only the line format changes; flow control and the special characters
    // stay as the driver reports them.
    dcb.BaudRate = static_cast<DWORD>(line.baudRate);
    dcb.ByteSize = static_cast<BYTE>(line.dataBits);
    dcb.Parity = line.parity ? EVENPARITY : NOPARITY;
    dcb.StopBits = line.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    if (!SetCommState(port, &dcb)) return steps.Note("SetCommState", GetLastError());
    return true;
}

DWORD Milliseconds(std::chrono::milliseconds duration) {
    return static_cast<DWORD>(std::max<std::chrono::milliseconds::rep>(0, duration.count()));
}

bool ApplyTimeouts(HANDLE port, const ReadTimeouts& timeouts, Steps& steps) {
    COMMTIMEOUTS current{};
    if (!GetCommTimeouts(port, &current)) return steps.Note("GetCommTimeouts", GetLastError());
    current.ReadIntervalTimeout = Milliseconds(timeouts.interByte);
    current.ReadTotalTimeoutMultiplier = Milliseconds(timeouts.perByte);
    current.ReadTotalTimeoutConstant = Milliseconds(timeouts.constant);
    // The driver's write time-outs stay, unless they are "never".
    if (current.WriteTotalTimeoutMultiplier == 0 && current.WriteTotalTimeoutConstant == 0) {
        current.WriteTotalTimeoutConstant = kWriteBoundMs;
    }
    if (!SetCommTimeouts(port, &current)) return steps.Note("SetCommTimeouts", GetLastError());
    return true;
}

bool SetEventMask(HANDLE port, Steps& steps) {
    if (SetCommMask(port, EV_RXFLAG)) return true;
    const DWORD error = GetLastError();
    if (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION) return true;
    return steps.Note("SetCommMask", error);
}

}  // namespace

std::wstring Win32SerialPorts::DeviceName(std::uint8_t number) {
    return L"\\\\.\\COM" + std::to_wstring(number);
}

std::wstring Win32SerialPorts::MutexName(std::uint8_t number) {
    return L"Local\\vm4417-COM" + std::to_wstring(number);
}

std::optional<std::vector<PresentPort>> Win32SerialPorts::PresentPorts() const {
    std::vector<PresentPort> present;
    if (win32::UnderWine()) {
        const auto linked = win32::WineLinkedPorts();
        if (!linked) return std::nullopt;
        for (const std::uint8_t number : *linked) present.push_back({number, "linked"});
        return present;
    }
    win32::SystemPorts ports;
    win32::AddSerialMap(ports);
    win32::AddPortsClass(ports, false);
    for (const auto& [number, port] : ports) {
        present.push_back({number, win32::Utf8(port.device + L" " + port.instanceId)});
    }
    return present;
}

UsbIdentity Win32SerialPorts::UsbIdentityOf(std::uint8_t number) const {
    win32::SystemPorts ports;
    win32::AddPortsClass(ports, true);
    const auto port = ports.find(number);
    return port == ports.end() ? UsbIdentity{} : port->second.usb;
}

Status Win32SerialPorts::CheckPort(std::uint8_t number) const {
    Steps steps;
    const Handle claim = ClaimPortNumber(number, steps);
    if (!claim.valid()) return steps.status();
    const Handle port = OpenDevice(number, steps);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (port.valid() && !GetCommState(port.get(), &dcb)) steps.Note("GetCommState", GetLastError());
    return steps.status();
}

OpenedLine Win32SerialPorts::Open(std::uint8_t number, const PortConfig& config) {
    Steps steps;
    Handle claim = ClaimPortNumber(number, steps);
    if (!claim.valid()) return {nullptr, steps.status()};
    Handle port = OpenDevice(number, steps);
    if (!port.valid()) return {nullptr, steps.status()};
    // Every step is tried; under Wine a COM name whose device is missing
    // opens, and only these calls fail.
    const HANDLE h = port.get();
    bool ok = ApplyLine(h, config.line, steps);
    ok = ApplyTimeouts(h, config.timeouts, steps) && ok;
    if (config.raiseModemLines) {
        ok = ChangeModemLine(h, SETRTS, "EscapeCommFunction SETRTS", steps) && ok;
        ok = ChangeModemLine(h, SETDTR, "EscapeCommFunction SETDTR", steps) && ok;
    }
    ok = SetEventMask(h, steps) && ok;
    if (!ok) return {nullptr, steps.status()};
    return {std::make_unique<Win32Line>(std::move(port), std::move(claim)), Status::Success()};
}

}  // namespace vm4417
