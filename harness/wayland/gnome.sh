# A headless GNOME desktop for the typing tests and benchmarks, sourced after
# session.sh: mutter 43 as the Wayland compositor on the session's own bus,
# the RemoteDesktop portal (xdg-desktop-portal with its GNOME back end,
# started by D-Bus activation), an operator who answers the portal's dialog
# with keys, and key-probe, a native client that has the focus and prints
# what arrives. The probe's readers and the operator come from probe.sh.
#
#   gnome_begin USER BUILD     the desktop, the operator, the probe in $S
#   operator KEYS...           taps the keys (Shift space Tab Escape Return)
#   share                      answers the dialog: keyboard ticked, "Share"
#   share_now                  the same without waiting for the way to settle
#   refuse                     answers the dialog: Escape ("Cancel")

. "$(dirname "${BASH_SOURCE[0]}")/../probe.sh"

GNOME_SOCKET=wl-gnome

gnome_begin() {
    local user=$1 build=$2 here
    here=$(dirname "${BASH_SOURCE[0]}")
    needs mutter:mutter /usr/libexec/xdg-desktop-portal:xdg-desktop-portal \
        /usr/libexec/xdg-desktop-portal-gnome:xdg-desktop-portal-gnome gdbus:libglib2.0-bin
    needs_python dbusmock:python3-dbusmock dbus:python3-dbus
    session_begin "$user" || return 1
    session_env XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=$GNOME_SOCKET
    spawn mutter mutter --headless --wayland --no-x11 --wayland-display=$GNOME_SOCKET \
        --virtual-monitor 1280x1024
    wait_for 20 test -S "$S/rt/$GNOME_SOCKET" || { echo "mutter did not start" >&2; return 1; }
    # The portals start through D-Bus activation and take the compositor and
    # the desktop's name from the bus's activation environment.
    as_user dbus-update-activation-environment WAYLAND_DISPLAY=$GNOME_SOCKET \
        XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland || return 1

    start_operator python3 "$here/mutter-keys.py" || return 1

    spawn probe "$build/harness/key-probe"
    wait_for 10 grep -q ' enter$' "$S/probe.log" || { echo "the probe has no focus" >&2; return 1; }
}

# Keyboard-only request: Space ticks the keyboard, three Tabs reach "Share",
# Space presses it. The program's way is ready a second after the answer.
share() {
    share_now
    sleep 1.5
}
share_now() { operator space Tab Tab Tab space; }
refuse() { operator Escape; }
