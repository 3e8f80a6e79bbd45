#include "OperatorKeyGrab.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include <array>
#include <utility>

#include "XConnection.h"

namespace vm4417::x11 {

// ---- What is held and sent again --------------------------------------------

std::vector<HeldKey> KeysToReplay(const std::vector<HeldKey>& held, bool deliver,
                                  const std::set<unsigned int>& down) {
    std::vector<HeldKey> replay;
    for (const HeldKey& key : held) {
        if (key.repeat) continue;
        if (deliver || (!key.press && down.count(key.keycode) > 0)) replay.push_back(key);
    }
    return replay;
}

bool IsOperatorKeyboard(bool slaveKeyboard, const std::string& name, bool xtestDevice) {
    return slaveKeyboard && !xtestDevice && name.find("XTEST") == std::string::npos;
}

// ---- The grab ---------------------------------------------------------------

struct OperatorKeyGrab::State {
    std::unique_ptr<XConnection> link;
    int inputOpcode = -1;
    Atom xtestDevice = None;
    bool holding = false;
    // The keys the focused application has down: those down when the hold
    // began, then as the replay pressed and released them.
    std::set<unsigned int> down;
    std::vector<int> grabbed;   // the operator's keyboards grabbed for this capture
    std::set<int> watchedOnly;  // the operator's keyboards that could not be grabbed
    std::vector<HeldKey> held;  // what the grabs delivered, in order
    std::size_t replayed = 0;   // how many of `held` were already sent again
    int passed = 0;             // presses of watched keyboards, which went through

    // The presses that count as seen: those that went through where some
    // keyboard could only be watched, the held ones otherwise.
    int Seen() const {
        if (!watchedOnly.empty()) return passed;
        int presses = 0;
        for (const HeldKey& key : held) presses += key.press && !key.repeat;
        return presses;
    }
};

namespace {

using Mask = std::array<unsigned char, XIMaskLen(XI_LASTEVENT)>;

Mask EventMask(std::initializer_list<int> events) {
    Mask mask{};
    for (const int event : events) XISetMask(mask.data(), event);
    return mask;
}

// XTest's devices say so in a property of their own.
bool HasXTestProperty(Display* display, int device, Atom xtestDevice) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const Status status = XIGetProperty(display, device, xtestDevice, 0, 1, False, AnyPropertyType,
                                        &type, &format, &count, &after, &data);
    if (data != nullptr) XFree(data);
    return status == Success && type != None;
}

std::set<unsigned int> KeysDownNow(Display* display) {
    std::array<char, 32> keys{};
    XQueryKeymap(display, keys.data());
    std::set<unsigned int> down;
    for (unsigned int code = 0; code < 256; ++code) {
        if ((keys[code / 8] & (1 << (code % 8))) != 0) down.insert(code);
    }
    return down;
}

void SelectRawKeys(Display* display, bool on) {
    Mask mask = on ? EventMask({XI_RawKeyPress}) : Mask{};
    XIEventMask selection{XIAllDevices, static_cast<int>(mask.size()), mask.data()};
    XISelectEvents(display, DefaultRootWindow(display), &selection, 1);
}

}  // namespace

OperatorKeyGrab::OperatorKeyGrab(std::string displayName) : displayName_(std::move(displayName)) {}

OperatorKeyGrab::~OperatorKeyGrab() = default;

bool OperatorKeyGrab::Connect() {
    state_.reset();
    auto state = std::make_unique<State>();
    state->link = XConnection::Open(displayName_);
    if (!state->link) return false;
    Display* display = state->link->display;
    bool usable = false;
    {
        HandlerScope scope(*state->link);
        int event = 0, error = 0, major = 2, minor = 2;
        int xtestEvent = 0, xtestError = 0, xtestMajor = 0, xtestMinor = 0;
        usable = XQueryExtension(display, "XInputExtension", &state->inputOpcode, &event, &error) &&
                 XIQueryVersion(display, &major, &minor) == Success && major >= 2 &&
                 XTestQueryExtension(display, &xtestEvent, &xtestError, &xtestMajor, &xtestMinor);
        if (usable) state->xtestDevice = XInternAtom(display, "XTEST Device", False);
    }
    if (!usable || state->link->broken) return false;
    state_ = std::move(state);
    return true;
}

// Called with the handlers in place.
std::vector<int> OperatorKeyGrab::OperatorKeyboards() {
    Display* display = state_->link->display;
    std::vector<int> keyboards;
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(display, XIAllDevices, &count);
    for (int i = 0; i < count; ++i) {
        const XIDeviceInfo& device = devices[i];
        if (IsOperatorKeyboard(device.use == XISlaveKeyboard, device.name,
                               HasXTestProperty(display, device.deviceid, state_->xtestDevice))) {
            keyboards.push_back(device.deviceid);
        }
    }
    if (devices != nullptr) XIFreeDeviceInfo(devices);
    return keyboards;
}

std::optional<bool> OperatorKeyGrab::KeyDown() {
    if ((!state_ || state_->link->broken) && !Connect()) return std::nullopt;
    Display* display = state_->link->display;
    HandlerScope scope(*state_->link);
    std::set<unsigned int> modifiers;
    if (XModifierKeymap* map = XGetModifierMapping(display)) {
        for (int i = 0; i < 8 * map->max_keypermod; ++i) modifiers.insert(map->modifiermap[i]);
        XFreeModifiermap(map);
    }
    bool down = false;
    for (const int id : OperatorKeyboards()) {
        XDevice* device = XOpenDevice(display, static_cast<XID>(id));
        if (device == nullptr) continue;
        if (XDeviceState* state = XQueryDeviceState(display, device)) {
            const auto* item = reinterpret_cast<const unsigned char*>(state->data);
            for (int i = 0; i < state->num_classes; ++i) {
                const auto* input = reinterpret_cast<const XInputClass*>(item);
                if (input->c_class == KeyClass) {
                    const auto* keys = reinterpret_cast<const XKeyState*>(input);
                    for (int code = 0; code < 8 * static_cast<int>(sizeof keys->keys); ++code) {
                        const bool pressed = (keys->keys[code / 8] & (1 << (code % 8))) != 0;
                        if (pressed && modifiers.count(static_cast<unsigned int>(code)) == 0) {
                            down = true;
                        }
                    }
                }
                item += input->length;
            }
            XFreeDeviceState(state);
        }
        XCloseDevice(display, device);
    }
    if (state_->link->broken) return std::nullopt;
    return down;
}

OperatorKeys OperatorKeyGrab::Hold() {
    if ((!state_ || state_->link->broken) && !Connect()) return OperatorKeys::Unseen;
    State& state = *state_;
    Display* display = state.link->display;
    HandlerScope scope(*state.link);
    state.held.clear();
    state.replayed = 0;
    state.passed = 0;
    state.grabbed.clear();
    state.watchedOnly.clear();
    state.down = KeysDownNow(display);
    Mask keys = EventMask({XI_KeyPress, XI_KeyRelease});
    XIEventMask selection{XIAllDevices, static_cast<int>(keys.size()), keys.data()};
    for (const int device : OperatorKeyboards()) {
        selection.deviceid = device;
        if (XIGrabDevice(display, device, DefaultRootWindow(display), CurrentTime, None,
                         XIGrabModeAsync, XIGrabModeAsync, False, &selection) == GrabSuccess) {
            state.grabbed.push_back(device);
        } else {
            state.watchedOnly.insert(device);
        }
    }
    if (!state.watchedOnly.empty()) SelectRawKeys(display, true);
    XSync(display, False);
    if (state.link->broken) return OperatorKeys::Unseen;
    state.holding = true;
    return state.watchedOnly.empty() ? OperatorKeys::Held : OperatorKeys::Seen;
}

int OperatorKeyGrab::Seen() {
    if (!state_ || !state_->holding || state_->link->broken) return 0;
    HandlerScope scope(*state_->link);
    TakeEvents();
    return state_->Seen();
}

// Takes in what the grabs and the watched keyboards delivered.
void OperatorKeyGrab::TakeEvents() {
    State& state = *state_;
    Display* display = state.link->display;
    while (!state.link->broken && XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        XGenericEventCookie& cookie = event.xcookie;
        if (cookie.type != GenericEvent || cookie.extension != state.inputOpcode ||
            !XGetEventData(display, &cookie)) {
            continue;
        }
        if (cookie.evtype == XI_KeyPress || cookie.evtype == XI_KeyRelease) {
            const auto* key = static_cast<const XIDeviceEvent*>(cookie.data);
            const bool press = cookie.evtype == XI_KeyPress;
            const bool repeat = press && (key->flags & XIKeyRepeat) != 0;
            state.held.push_back({static_cast<unsigned int>(key->detail), press, repeat});
        } else if (cookie.evtype == XI_RawKeyPress) {
            const auto* raw = static_cast<const XIRawEvent*>(cookie.data);
            if (state.watchedOnly.count(raw->sourceid) > 0) ++state.passed;
        }
        XFreeEventData(display, &cookie);
    }
}

// Each key is waited for, so that a refused event or a lost server shows at
// the key it hit; the keys after it are not sent. The keys the application
// then has down are noted, so that a delivery that stops half-way still lets
// go of the keys it pressed.
std::size_t OperatorKeyGrab::Replay(const std::vector<HeldKey>& keys) {
    XConnection& link = *state_->link;
    std::size_t sent = 0;
    for (const HeldKey& key : keys) {
        link.refused = false;
        const bool queued =
            XTestFakeKeyEvent(link.display, key.keycode, key.press ? True : False, CurrentTime);
        XSync(link.display, False);
        if (!queued || link.refused || link.broken) break;
        if (key.press) {
            state_->down.insert(key.keycode);
        } else {
            state_->down.erase(key.keycode);
        }
        ++sent;
    }
    return sent;
}

bool OperatorKeyGrab::SendAgain(bool deliver, int& delivered) {
    State& state = *state_;
    const std::vector<HeldKey> next(state.held.begin() + static_cast<long>(state.replayed),
                                    state.held.end());
    state.replayed = state.held.size();
    const std::vector<HeldKey> keys = KeysToReplay(next, deliver, state.down);
    const std::size_t sent = Replay(keys);
    for (std::size_t i = 0; i < sent; ++i) {
        if (keys[i].press) ++delivered;
    }
    return sent == keys.size();
}

void OperatorKeyGrab::LetGo() {
    State& state = *state_;
    Display* display = state.link->display;
    for (const int device : state.grabbed) XIUngrabDevice(display, device, CurrentTime);
    if (!state.watchedOnly.empty()) SelectRawKeys(display, false);
    state.grabbed.clear();
    // Every event the grabs delivered before they ended is here after this.
    XSync(display, False);
}

OperatorKeysOutcome OperatorKeyGrab::Release(bool deliver) {
    if (!state_ || !state_->holding) return {};
    State& state = *state_;
    state.holding = false;
    int delivered = 0;
    if (!state.link->broken) {
        HandlerScope scope(*state.link);
        TakeEvents();
        // Sent while still held, so that keys typed meanwhile queue behind
        // them; the last few, typed until the grabs ended, after. A key the
        // server did not take ends the delivery: the rest is dropped.
        for (int round = 0; deliver && round < 8 && state.replayed < state.held.size(); ++round) {
            deliver = SendAgain(true, delivered);
            TakeEvents();
        }
        LetGo();
        TakeEvents();
        SendAgain(deliver, delivered);
    }
    int presses = 0;
    for (const HeldKey& key : state.held) presses += key.press && !key.repeat;
    return {delivered, presses - delivered, state.Seen()};
}

}  // namespace vm4417::x11
