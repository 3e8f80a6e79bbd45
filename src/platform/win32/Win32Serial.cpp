#include "Win32Serial.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "WideText.h"

namespace vm4417 {

namespace {

using win32::ErrorText;

// A write that the driver has not finished after this long fails, so that a
// stuck line cannot block the window for ever.
constexpr DWORD kWriteBoundMs = 1000;

// Errors by which Windows (and Wine) say that a device has gone away.
bool MeansDeviceGone(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_INVALID_HANDLE:
        case ERROR_BAD_COMMAND:
        case ERROR_GEN_FAILURE:
        case ERROR_ACCESS_DENIED:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEVICE_REMOVED:
        case ERROR_BROKEN_PIPE:
            return true;
        default:
            return false;
    }
}

// A port without modem lines (Wine on a pseudo-terminal, some adapters)
// refuses line changes as unsupported; that is no failure.
bool ChangeModemLine(HANDLE port, DWORD function, const char* call, std::string& failure) {
    if (EscapeCommFunction(port, function)) return true;
    const DWORD error = GetLastError();
    if (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION) return true;
    if (failure.empty()) failure = ErrorText(call, error);
    return false;
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
        std::string ignored;
        const bool dtr = ChangeModemLine(port_.get(), CLRDTR, "EscapeCommFunction CLRDTR", ignored);
        const bool rts = ChangeModemLine(port_.get(), CLRRTS, "EscapeCommFunction CLRRTS", ignored);
        return dtr && rts;
    }
    bool IsLost() const { return lost_; }

private:
    void NoteFailure(DWORD error);

    // The port closes before the claim on its number is given up.
    Handle claim_;
    Handle port_;
    bool lost_ = false;
};

void Win32Line::NoteFailure(DWORD error) {
    DWORD errors = 0;
    // A failed read or write leaves the port in an error state that only
    // ClearCommError lifts; when even that fails, the device is gone.
    if (MeansDeviceGone(error) || !ClearCommError(port_.get(), &errors, nullptr)) lost_ = true;
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
    }
    received.resize(got);
    return received;
}

// Takes port n's name for this process. False when another process (or this
// one) holds it already.
Handle ClaimPortNumber(std::uint8_t number, std::string& failure) {
    const std::wstring name = Win32SerialPorts::MutexName(number);
    Handle claim(CreateMutexW(nullptr, FALSE, name.c_str()));
    const DWORD error = GetLastError();
    if (!claim.valid()) {
        failure = ErrorText("CreateMutexW " + win32::Utf8(name), error);
        return Handle();
    }
    if (error == ERROR_ALREADY_EXISTS) {
        failure = ErrorText("CreateMutexW " + win32::Utf8(name), ERROR_SHARING_VIOLATION);
        return Handle();
    }
    return claim;
}

bool ApplyLine(HANDLE port, const LineSettings& line, std::string& failure) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port, &dcb)) {
        failure = ErrorText("GetCommState", GetLastError());
        return false;
    }
    // Only the line format changes; flow control and the special characters
    // stay as the driver reports them.
    dcb.BaudRate = static_cast<DWORD>(line.baudRate);
    dcb.ByteSize = static_cast<BYTE>(line.dataBits);
    dcb.Parity = line.parity ? EVENPARITY : NOPARITY;
    dcb.StopBits = line.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    if (!SetCommState(port, &dcb)) {
        failure = ErrorText("SetCommState", GetLastError());
        return false;
    }
    return true;
}

DWORD Milliseconds(std::chrono::milliseconds duration) {
    return static_cast<DWORD>(std::max<std::chrono::milliseconds::rep>(0, duration.count()));
}

bool ApplyTimeouts(HANDLE port, const ReadTimeouts& timeouts, std::string& failure) {
    COMMTIMEOUTS current{};
    if (!GetCommTimeouts(port, &current)) {
        failure = ErrorText("GetCommTimeouts", GetLastError());
        return false;
    }
    current.ReadIntervalTimeout = Milliseconds(timeouts.interByte);
    current.ReadTotalTimeoutMultiplier = Milliseconds(timeouts.perByte);
    current.ReadTotalTimeoutConstant = Milliseconds(timeouts.constant);
    // The driver's write time-outs stay, unless they are "never".
    if (current.WriteTotalTimeoutMultiplier == 0 && current.WriteTotalTimeoutConstant == 0) {
        current.WriteTotalTimeoutConstant = kWriteBoundMs;
    }
    if (!SetCommTimeouts(port, &current)) {
        failure = ErrorText("SetCommTimeouts", GetLastError());
        return false;
    }
    return true;
}

bool SetEventMask(HANDLE port, std::string& failure) {
    if (SetCommMask(port, EV_RXFLAG)) return true;
    const DWORD error = GetLastError();
    if (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION) return true;
    failure = ErrorText("SetCommMask", error);
    return false;
}

}  // namespace

std::wstring Win32SerialPorts::DeviceName(std::uint8_t number) {
    return L"\\\\.\\COM" + std::to_wstring(number);
}

std::wstring Win32SerialPorts::MutexName(std::uint8_t number) {
    return L"Global\\vm4417-COM" + std::to_wstring(number);
}

std::unique_ptr<SerialLine> Win32SerialPorts::Open(std::uint8_t number, const PortConfig& config) {
    lastFailure_.clear();
    Handle claim = ClaimPortNumber(number, lastFailure_);
    if (!claim.valid()) return nullptr;
    const std::wstring name = DeviceName(number);
    Handle port(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!port.valid()) {
        lastFailure_ = ErrorText("CreateFileW " + win32::Utf8(name), GetLastError());
        return nullptr;
    }
    // Every step is tried; under Wine a COM name whose device is missing
    // opens, and only these calls fail.
    const HANDLE h = port.get();
    bool ok = ApplyLine(h, config.line, lastFailure_);
    ok = ApplyTimeouts(h, config.timeouts, lastFailure_) && ok;
    if (config.raiseModemLines) {
        ok = ChangeModemLine(h, SETRTS, "EscapeCommFunction SETRTS", lastFailure_) && ok;
        ok = ChangeModemLine(h, SETDTR, "EscapeCommFunction SETDTR", lastFailure_) && ok;
    }
    ok = SetEventMask(h, lastFailure_) && ok;
    if (!ok) return nullptr;
    return std::make_unique<Win32Line>(std::move(port), std::move(claim));
}

}  // namespace vm4417
