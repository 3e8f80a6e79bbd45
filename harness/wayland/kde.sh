# A headless KDE Plasma desktop for the typing tests, sourced after
# session.sh: KWin 5.27 (kwin_wayland --virtual) with Xwayland and the Czech
# layout, the RemoteDesktop portal (xdg-desktop-portal with its KDE back
# end, started by D-Bus activation; Plasma asks a program outside a sandbox
# nothing), and key-probe, a native client that has the focus. The probe's
# readers and the operator come from probe.sh.
#
#   kde_begin USER BUILD       the desktop and the probe in $S; DISPLAY names
#                              KWin's Xwayland
#   kde_operator               an operator's keyboard of the seat, through the
#                              portal (seat-keys.py): operator Caps_Lock ...
#
# The portal's back end loads the seat's keymap at the first key anybody
# sends through it; a scenario that checks the program's first keys starts
# the operator only after them.

. "$(dirname "${BASH_SOURCE[0]}")/../probe.sh"

KDE_SOCKET=wl-kde

kde_begin() {
    local user=$1 build=$2
    needs kwin_wayland:kwin-wayland Xwayland:xwayland \
        /usr/libexec/xdg-desktop-portal:xdg-desktop-portal \
        /usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde:xdg-desktop-portal-kde
    needs_python dbus:python3-dbus
    session_begin "$user" || return 1
    # The installed kwin_wayland carries a file capability (cap_sys_resource)
    # that a container may refuse to grant at exec; a copy has none. The
    # copy keeps the name: KWin's own Qt platform plugin loads only into a
    # program called kwin_wayland.
    mkdir -p "$S/bin" "$S/home/.config"
    cp /usr/bin/kwin_wayland "$S/bin/kwin_wayland"
    printf '[Layout]\nLayoutList=cz\nUse=true\n' >"$S/home/.config/kxkbrc"
    chown -R "$user:" "$S/bin" "$S/home"
    session_env XDG_CURRENT_DESKTOP=KDE XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=$KDE_SOCKET \
        KDE_SESSION_VERSION=5
    spawn kwin "$S/bin/kwin_wayland" --virtual --no-lockscreen --xwayland --socket $KDE_SOCKET \
        --width 1280 --height 1024
    wait_for 30 test -S "$S/rt/$KDE_SOCKET" || { echo "KWin did not start" >&2; return 1; }
    # The portals start through D-Bus activation and take the compositor and
    # the desktop's name from the bus's activation environment.
    as_user dbus-update-activation-environment WAYLAND_DISPLAY=$KDE_SOCKET \
        XDG_CURRENT_DESKTOP=KDE XDG_SESSION_TYPE=wayland KDE_SESSION_VERSION=5 || return 1
    wait_for 20 pgrep -u "$user" -x Xwayland >/dev/null || { echo "no Xwayland" >&2; return 1; }
    session_env DISPLAY="$(pgrep -u "$user" -a -x Xwayland | grep -o ' :[0-9]*' | tr -d ' ')"

    spawn probe "$build/harness/key-probe"
    wait_for 10 grep -q ' enter$' "$S/probe.log" || { echo "the probe has no focus" >&2; return 1; }
}

kde_operator() { start_operator python3 "$(dirname "${BASH_SOURCE[0]}")/seat-keys.py" --portal; }
