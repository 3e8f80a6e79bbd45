# A headless sway (wlroots) desktop for the typing tests and benchmarks,
# sourced after session.sh: the Czech layout, the pixman renderer, no input
# devices, and Xwayland with the Czech layout too.
#
#   sway_begin USER            the desktop in $S, its Wayland, IPC and X
#                              displays in the session's environment
#   czech_xwayland             gives Xwayland the Czech layout (again)
#   virtual_keyboard_present   sway lists a virtual keyboard among its inputs
#   start_operator BUILD       the operator's own keyboard (Czech), a second
#                              virtual keyboard; its log in $S/operator.log
#   operator COMMAND           one command for it (type TEXT, press KEYSYM,
#                              release KEYSYM, tap KEYSYM), back when done
#   stop_operator              it lets go of every key and goes

sway_begin() {
    local xdisplay
    needs sway:sway swaymsg:sway Xwayland:xwayland
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

# A headless seat has no keyboard whose layout Xwayland could take. Xwayland
# takes the keymap of each keyboard that becomes the seat's active one; a map
# set here stays in force until the next such change.
czech_xwayland() {
    wait_for 20 as_user setxkbmap cz >/dev/null 2>&1 \
        || { echo "setxkbmap cz on Xwayland failed" >&2; return 1; }
}

virtual_keyboard_present() { as_user swaymsg -t get_inputs 2>/dev/null | grep -qi virtual; }

start_operator() {
    rm -f "$S/operator"
    as_user mkfifo "$S/operator"
    spawn operator bash -c "exec stdbuf -oL '$1/harness/operator-keyboard' <'$S/operator'"
    OPERATOR_PID=$!
    exec 8>"$S/operator"
    wait_for 10 grep -q " ready" "$S/operator.log"
}

# How many commands the operator's keyboard has answered (done or error).
operator_answers() { grep -c " done \| error " "$S/operator.log" || true; }
operator_answered_more_than() { (($(operator_answers) > $1)); }

operator() {
    local before
    before=$(operator_answers)
    echo "$*" >&8
    wait_for 10 operator_answered_more_than "$before" || return 1
    ! tail -n 1 "$S/operator.log" | grep -q " error "
}

# At the end of its input the keyboard releases what it holds and says
# "gone" once the compositor has taken that.
stop_operator() {
    exec 8>&-
    wait_for 10 grep -q " gone" "$S/operator.log" || return 1
    wait "$OPERATOR_PID" 2>/dev/null || true
}
