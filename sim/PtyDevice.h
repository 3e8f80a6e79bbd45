#pragma once
// The simulated reader's end of the line: a pseudo-terminal whose slave side
// is published under a COM<n> link, so the program opens it like a port.

#include <filesystem>
#include <string>

#include "PosixIo.h"

namespace readersim {

using vm4417::posix::UniqueFd;

// Outcome of a simulator operation that can fail; `error` says why it did.
struct Result {
    std::string error;
    bool ok() const { return error.empty(); }
};

class PtyDevice {
public:
    PtyDevice() = default;
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;
    ~PtyDevice() { Close(); }

    // Opens a non-blocking master, keeps the slave open in raw mode and points
    // `link` at the slave (replacing an older link, creating missing
    // directories). On failure nothing stays open or linked.
    Result Open(const std::filesystem::path& link);
    // Closes the master, which hangs up every client of the slave, and
    // removes the link unless it has since been pointed elsewhere.
    void Close();

    bool IsOpen() const { return master_.IsValid(); }
    int MasterFd() const { return master_.Get(); }
    // The slave's name, e.g. /dev/pts/7; empty while closed.
    const std::string& SlavePath() const { return slavePath_; }

private:
    UniqueFd master_;
    // Held so that the master never reports a hang-up while no client has
    // the slave open, and so that line settings survive between clients.
    UniqueFd slaveHolder_;
    std::string slavePath_;
    std::filesystem::path link_;
};

}  // namespace readersim
