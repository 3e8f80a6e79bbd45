# A headless sway (wlroots) desktop for the typing tests and benchmarks,
# sourced after session.sh: the Czech layout, the pixman renderer, no input
# devices, and Xwayland with the Czech layout too.
#
#   sway_begin USER            the desktop in $S, its Wayland, IPC and X
#                              displays in the session's environment
#   czech_xwayland             gives Xwayland the Czech layout (again)
#   virtual_keyboard_present   sway lists a virtual keyboard among its inputs

sway_begin() {
    local xdisplay
    session_begin "$1" || return 1
    printf 'input * xkb_layout cz\nxwayland enable\n' >"$S/sway.conf"
    session_env WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1
    spawn sway sway --config "$S/sway.conf"
    wait_for 20 bash -c "ls '$S'/rt/wayland-? >/dev/null" \
        || { echo "sway did not start" >&2; return 1; }
    session_env WAYLAND_DISPLAY="$(basename "$(ls "$S"/rt/wayland-? | head -1)")" \
        XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=sway
    wait_for 10 bash -c "ls '$S'/rt/sway-ipc.*.sock >/dev/null" \
        || { echo "no sway IPC socket" >&2; return 1; }
    session_env SWAYSOCK="$(ls "$S"/rt/sway-ipc.*.sock | head -1)"
    # Sway starts Xwayland at the first X client; the display it gives its
    # children is asked through an exec of its own.
    as_user swaymsg -q exec "echo \$DISPLAY >'$S/xdisplay'"
    wait_for 10 test -s "$S/xdisplay" || { echo "sway names no Xwayland display" >&2; return 1; }
    xdisplay=$(cat "$S/xdisplay")
    session_env DISPLAY="$xdisplay"
    czech_xwayland
}

# A headless seat has no keyboard whose layout Xwayland could take, and
# Xwayland makes its keyboard anew, with the US layout, whenever the seat
# gains one: call this again once the program's keyboard is there.
czech_xwayland() {
    wait_for 20 as_user setxkbmap cz >/dev/null 2>&1 \
        || { echo "setxkbmap cz on Xwayland failed" >&2; return 1; }
}

virtual_keyboard_present() { as_user swaymsg -t get_inputs 2>/dev/null | grep -qi virtual; }
