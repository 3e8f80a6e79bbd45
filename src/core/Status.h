#pragma once
// The outcome of a step that talks to the system. The kind lets a caller
// choose what the operator is told; the detail keeps the system's own words
// for diagnostics, so that no reason is lost on the way up.

#include <string>
#include <utility>

namespace vm4417 {

enum class Fault {
    None,
    Missing,       // no such device or file
    NoPermission,  // the user may not open it
    InUse,         // another program holds it
    Console,       // the system console: never opened
    WrongKind,     // not the kind of thing asked for (a FIFO for a file, a file for a tty)
    Lost,          // the device went away while in use
    Failed,        // any other failure
};

struct Status {
    Fault fault = Fault::None;
    std::string detail;  // the failed call and the system's text, e.g. "open /dev/x: No such file"

    bool Ok() const { return fault == Fault::None; }
    static Status Success() { return {}; }
    static Status Failure(Fault fault, std::string detail) { return {fault, std::move(detail)}; }
};

}  // namespace vm4417
