#include "ReaderSearch.h"

#include <tuple>

namespace vm4417 {

namespace {

bool SameKnown(const std::string& a, const std::string& b) { return !a.empty() && a == b; }

}  // namespace

int UsbLikeness(const UsbIdentity& lost, const UsbIdentity& candidate) {
    if (SameKnown(lost.serialNumber, candidate.serialNumber) &&
        lost.vendorProduct == candidate.vendorProduct) {
        return 3;
    }
    if (SameKnown(lost.location, candidate.location)) return 2;
    if (SameKnown(lost.vendorProduct, candidate.vendorProduct) ||
        SameKnown(lost.name, candidate.name)) {
        return 1;
    }
    return 0;
}

void ReaderSearch::Connected(std::uint8_t port, std::string ident) {
    port_ = port;
    ident_ = std::move(ident);
    device_.clear();
    usb_ = {};
    if (presence_ == nullptr) return;
    usb_ = presence_->UsbIdentityOf(port);
    const auto present = presence_->PresentPorts();
    if (!present) return;
    for (const PresentPort& entry : *present) {
        if (entry.number == port) device_ = entry.device;
    }
}

void ReaderSearch::Lost(Clock::TimePoint now) {
    seen_.clear();
    bystandersNoted_ = false;
    ownPortNextTry_ = now;
    TakeInPresentPorts(now);
}

// A port is new when its number was missing at the last reading or leads to
// another device now. Until the system could be read once, every port it
// names counts as a bystander.
void ReaderSearch::TakeInPresentPorts(Clock::TimePoint now) {
    if (presence_ == nullptr) return;
    const auto present = presence_->PresentPorts();
    if (!present) return;
    std::map<std::uint8_t, Seen> seen;
    for (const PresentPort& port : *present) {
        const auto before = seen_.find(port.number);
        if (before != seen_.end() && before->second.device == port.device) {
            seen.emplace(port.number, std::move(before->second));
            continue;
        }
        Seen appeared{port.device, bystandersNoted_, false, now, now + kNewPortSettle, {}};
        if (appeared.appearedSinceLoss) appeared.usb = presence_->UsbIdentityOf(port.number);
        seen.emplace(port.number, std::move(appeared));
    }
    seen_ = std::move(seen);
    bystandersNoted_ = true;
}

// The own port is tried unless the system says for sure that nothing is
// there, or that it leads to a device that was there at the loss and is
// not the reader's.
bool ReaderSearch::OwnPortDue(Clock::TimePoint now) const {
    if (now < ownPortNextTry_) return false;
    if (!bystandersNoted_) return true;
    const auto own = seen_.find(port_);
    if (own == seen_.end()) return false;
    return own->second.appearedSinceLoss || device_.empty() || own->second.device == device_;
}

// The new port most like the lost one's device; among equals the one that
// appeared first, then the lowest number.
std::optional<std::uint8_t> ReaderSearch::BestNewPort(Clock::TimePoint now) const {
    std::optional<std::uint8_t> best;
    std::tuple<int, Clock::TimePoint> bestRank{};
    for (const auto& [number, port] : seen_) {
        if (number == port_ || !port.appearedSinceLoss || port.identified || now < port.nextTryAt) {
            continue;
        }
        // Likeness high first, appearance early first.
        const std::tuple<int, Clock::TimePoint> rank{-UsbLikeness(usb_, port.usb), port.appearedAt};
        if (!best || rank < bestRank) {
            best = number;
            bestRank = rank;
        }
    }
    return best;
}

std::optional<std::uint8_t> ReaderSearch::NextPort(Clock::TimePoint now) {
    TakeInPresentPorts(now);
    if (OwnPortDue(now)) {
        ownPortNextTry_ = now + kReconnectInterval;
        return port_;
    }
    const auto next = BestNewPort(now);
    // Should the port not open (not yet the operator's, busy), it waits.
    if (next) seen_[*next].nextTryAt = now + kReconnectInterval;
    return next;
}

ReturnVerdict ReaderSearch::Identified(std::uint8_t port, const std::optional<std::string>& ident) {
    if (port != port_) {
        if (const auto it = seen_.find(port); it != seen_.end()) it->second.identified = true;
    }
    if (!ident) return ReturnVerdict::NoReader;
    if (port != port_ && *ident != ident_) return ReturnVerdict::OtherReader;
    Connected(port, *ident);
    return ReturnVerdict::Take;
}

}  // namespace vm4417
