// A native Wayland client that reports the keys it receives: one xdg-shell
// window (a plain shared-memory buffer, so any compositor maps it) and a
// wl_keyboard whose events it prints, one line each, to standard output:
//
//   <µs> ready                      the window is mapped
//   <µs> enter | leave              keyboard focus
//   <µs> keymap                     a keymap arrived (and compiled)
//   <µs> modifiers D L K G          depressed, latched, locked mods, group
//   <µs> press|release NAME "TEXT"  keysym name, UTF-8 (\xNN for controls)
//
// µs are CLOCK_MONOTONIC microseconds at receipt, comparable with the clock
// of any other process on the machine. The keysym and text are what the
// keymap in force makes of the key with the modifiers the compositor sent,
// i.e. what an application would type. Runs until the compositor goes away
// or the process is ended.
//
//   key-probe [--title TEXT]

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "xdg-shell-client-protocol.h"

namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 120;

long long NowMicroseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

std::string Escaped(const char* text) {
    std::string out;
    for (const char* p = text; *p != '\0'; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == 0x7f || c == '"' || c == '\\') {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

struct Probe {
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    wl_seat* seat = nullptr;
    xdg_wm_base* wmBase = nullptr;
    wl_keyboard* keyboard = nullptr;
    wl_surface* surface = nullptr;
    wl_buffer* buffer = nullptr;
    bool mapped = false;

    xkb_context* xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap* keymap = nullptr;
    xkb_state* state = nullptr;
};

void Report(const char* what) {
    std::printf("%lld %s\n", NowMicroseconds(), what);
    std::fflush(stdout);
}

// ---- keyboard ----

void OnKeymap(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
    auto* probe = static_cast<Probe*>(data);
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) {
        close(fd);
        Report("keymap unsupported-format");
        return;
    }
    void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (text == MAP_FAILED) {
        Report("keymap mmap-failed");
        return;
    }
    xkb_keymap* keymap = xkb_keymap_new_from_buffer(
        probe->xkb, static_cast<const char*>(text), strnlen(static_cast<const char*>(text), size),
        XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    if (keymap == nullptr) {
        Report("keymap invalid");
        return;
    }
    xkb_state_unref(probe->state);
    xkb_keymap_unref(probe->keymap);
    probe->keymap = keymap;
    probe->state = xkb_state_new(keymap);
    Report("keymap");
}

void OnEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) { Report("enter"); }

void OnLeave(void*, wl_keyboard*, uint32_t, wl_surface*) { Report("leave"); }

void OnKey(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t keyState) {
    auto* probe = static_cast<Probe*>(data);
    const long long now = NowMicroseconds();
    const char* action = keyState == WL_KEYBOARD_KEY_STATE_PRESSED ? "press" : "release";
    char name[64] = "none";
    char text[64] = "";
    if (probe->state != nullptr) {
        const xkb_keycode_t keycode = key + 8;  // evdev code to XKB keycode
        xkb_keysym_get_name(xkb_state_key_get_one_sym(probe->state, keycode), name, sizeof name);
        xkb_state_key_get_utf8(probe->state, keycode, text, sizeof text);
    }
    std::printf("%lld %s %s \"%s\"\n", now, action, name, Escaped(text).c_str());
    std::fflush(stdout);
}

void OnModifiers(void* data, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched,
                 uint32_t locked, uint32_t group) {
    auto* probe = static_cast<Probe*>(data);
    if (probe->state != nullptr) {
        xkb_state_update_mask(probe->state, depressed, latched, locked, 0, 0, group);
    }
    std::printf("%lld modifiers %u %u %u %u\n", NowMicroseconds(), depressed, latched, locked,
                group);
    std::fflush(stdout);
}

void OnRepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}

const wl_keyboard_listener kKeyboardListener = {
    OnKeymap, OnEnter, OnLeave, OnKey, OnModifiers, OnRepeatInfo,
};

void OnSeatCapabilities(void* data, wl_seat* seat, uint32_t capabilities) {
    auto* probe = static_cast<Probe*>(data);
    const bool hasKeyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    if (hasKeyboard && probe->keyboard == nullptr) {
        probe->keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(probe->keyboard, &kKeyboardListener, probe);
    } else if (!hasKeyboard && probe->keyboard != nullptr) {
        wl_keyboard_release(probe->keyboard);
        probe->keyboard = nullptr;
    }
}

void OnSeatName(void*, wl_seat*, const char*) {}

const wl_seat_listener kSeatListener = {OnSeatCapabilities, OnSeatName};

// ---- window ----

void OnPing(void*, xdg_wm_base* wmBase, uint32_t serial) { xdg_wm_base_pong(wmBase, serial); }

const xdg_wm_base_listener kWmBaseListener = {OnPing};

// A buffer in one grey, in an anonymous shared-memory file.
wl_buffer* MakeBuffer(wl_shm* shm) {
    const int stride = kWidth * 4;
    const int size = stride * kHeight;
    const int fd = memfd_create("key-probe", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, size) != 0) return nullptr;
    void* pixels = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    std::memset(pixels, 0x80, size);
    munmap(pixels, size);
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, size);
    wl_buffer* buffer =
        wl_shm_pool_create_buffer(pool, 0, kWidth, kHeight, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    return buffer;
}

void OnSurfaceConfigure(void* data, xdg_surface* xdgSurface, uint32_t serial) {
    auto* probe = static_cast<Probe*>(data);
    xdg_surface_ack_configure(xdgSurface, serial);
    if (probe->buffer == nullptr) probe->buffer = MakeBuffer(probe->shm);
    wl_surface_attach(probe->surface, probe->buffer, 0, 0);
    wl_surface_damage(probe->surface, 0, 0, kWidth, kHeight);
    wl_surface_commit(probe->surface);
    if (!probe->mapped) {
        probe->mapped = true;
        Report("ready");
    }
}

const xdg_surface_listener kSurfaceListener = {OnSurfaceConfigure};

void OnToplevelConfigure(void*, xdg_toplevel*, int32_t, int32_t, wl_array*) {}
void OnToplevelClose(void*, xdg_toplevel*) {}

// xdg_wm_base is bound at version 1, which has no later toplevel events.
const xdg_toplevel_listener kToplevelListener = {OnToplevelConfigure, OnToplevelClose, nullptr,
                                                 nullptr};

// ---- globals ----

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version) {
    auto* probe = static_cast<Probe*>(data);
    const std::string which = interface;
    if (which == wl_compositor_interface.name) {
        probe->compositor = static_cast<wl_compositor*>(
            wl_registry_bind(registry, name, &wl_compositor_interface, 4));
    } else if (which == wl_shm_interface.name) {
        probe->shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (which == xdg_wm_base_interface.name) {
        probe->wmBase =
            static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
        xdg_wm_base_add_listener(probe->wmBase, &kWmBaseListener, probe);
    } else if (which == wl_seat_interface.name && probe->seat == nullptr) {
        probe->seat = static_cast<wl_seat*>(
            wl_registry_bind(registry, name, &wl_seat_interface, version < 5 ? version : 5));
        wl_seat_add_listener(probe->seat, &kSeatListener, probe);
    }
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

}  // namespace

int main(int argc, char** argv) {
    std::string title = "key-probe";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--title") == 0 && i + 1 < argc) {
            title = argv[++i];
        } else {
            std::fprintf(stderr, "usage: key-probe [--title TEXT]\n");
            return 2;
        }
    }
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "key-probe: cannot connect to the compositor: %s\n",
                     std::strerror(errno));
        return 1;
    }
    Probe probe;
    wl_registry_add_listener(wl_display_get_registry(display), &kRegistryListener, &probe);
    wl_display_roundtrip(display);
    if (probe.compositor == nullptr || probe.shm == nullptr || probe.wmBase == nullptr) {
        std::fprintf(stderr,
                     "key-probe: the compositor lacks wl_compositor, wl_shm or xdg_wm_base\n");
        return 1;
    }
    probe.surface = wl_compositor_create_surface(probe.compositor);
    xdg_surface* xdgSurface = xdg_wm_base_get_xdg_surface(probe.wmBase, probe.surface);
    xdg_surface_add_listener(xdgSurface, &kSurfaceListener, &probe);
    xdg_toplevel* toplevel = xdg_surface_get_toplevel(xdgSurface);
    xdg_toplevel_add_listener(toplevel, &kToplevelListener, &probe);
    xdg_toplevel_set_title(toplevel, title.c_str());
    xdg_toplevel_set_app_id(toplevel, "vm4417-key-probe");
    wl_surface_commit(probe.surface);

    while (wl_display_dispatch(display) != -1) {}
    const int error = wl_display_get_error(display);
    std::fprintf(stderr, "key-probe: connection ended: %s\n", std::strerror(error));
    wl_display_disconnect(display);
    return 0;
}
