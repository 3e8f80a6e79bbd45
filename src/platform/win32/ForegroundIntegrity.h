#pragma once
// Whether Windows would drop synthetic input meant for the foreground window
// because that window's process runs at a higher integrity level (an
// application started as administrator). SendInput gives no sign of that: it
// accepts the events and they never arrive.

#include <cstdint>
#include <functional>
#include <optional>

namespace vm4417::win32 {

// Integrity levels as Windows numbers them (the last sub-authority of the
// mandatory label, SECURITY_MANDATORY_*_RID).
namespace integrity {
inline constexpr std::uint32_t Low = 0x1000;
inline constexpr std::uint32_t Medium = 0x2000;
inline constexpr std::uint32_t High = 0x3000;  // elevated: run as administrator
inline constexpr std::uint32_t System = 0x4000;
}  // namespace integrity

struct IntegrityReading {
    std::optional<std::uint32_t> own;  // this process; empty when unreadable
    // The process of the foreground window; empty when there is no foreground
    // window or its level could not be read.
    std::optional<std::uint32_t> foreground;
    // Windows refused to let this process look at the foreground process or
    // its token, as it does to a process that is not elevated asking about
    // one that is.
    bool foregroundDenied = false;
};

// Reads the levels from the system: the foreground window's process through
// OpenProcess and OpenProcessToken, this process through its own token.
IntegrityReading ReadIntegrity();

// The reading a sink takes before each capture; tests hand in fakes.
using IntegrityQuery = std::function<IntegrityReading()>;

// True when the foreground process is known to run above this one, and when
// Windows refused to let it be read while this process runs below High: a
// process that is not elevated is typically refused exactly that for an
// elevated one, and its input would be dropped there. An elevated process
// that cannot read the target, and every other gap (no foreground window,
// the process gone meanwhile, this process's own level unknown), lets the
// typing go ahead as before.
bool TargetAboveUs(const IntegrityReading& reading);

}  // namespace vm4417::win32
