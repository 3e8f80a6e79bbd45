# A private X11 desktop for the typing tests, sourced after session.sh: Xvfb
# on a display of its own with the given keyboard layout, openbox as the
# window manager, and X clients that report the keys they receive.
#
#   x11_begin USER LAYOUT    the desktop in $S; DISPLAY in the session's
#                            environment
#   start_probe NAME [--focus]
#                            an x-key-probe titled NAME, its output in
#                            $S/NAME.log; with --focus an ordinary window
#                            that has the focus, without it a window that
#                            also grabs the keyboard; waits until it is ready
#   window_of NAME           the X window of a probe
#   program_window           the program's main window
#   activate WINDOW          gives it the focus and waits until it has it
#   click_at WINDOW X Y      a click at X,Y inside the window
#   start_key_monitor        every key event the X server delivers, from any
#                            device, in $S/keys.log; key_events_seen counts them
#   probe_text NAME          what the probe received, Enter as "\x0d"

x11_begin() {
    local user=$1 layout=$2 n
    needs Xvfb:xvfb xdpyinfo:x11-utils xprop:x11-utils xwininfo:x11-utils \
        setxkbmap:x11-xkb-utils openbox:openbox xdotool:xdotool xinput:xinput
    session_begin "$user" || return 1
    for n in $(seq 90 199); do
        [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || break
    done
    session_env DISPLAY=":$n"
    # -noreset: a layout set with setxkbmap stays when the last client goes.
    spawn xvfb Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset
    wait_for 10 as_user xdpyinfo >/dev/null || { echo "Xvfb did not start" >&2; return 1; }
    as_user setxkbmap "$layout" || return 1
    spawn openbox openbox --sm-disable
    wait_for 10 as_user xprop -root _NET_SUPPORTING_WM_CHECK >/dev/null \
        || { echo "openbox did not start" >&2; return 1; }
}

start_probe() {
    local name=$1 window
    shift
    spawn "$name" stdbuf -oL "$BUILD/x-key-probe" --name "$name" "$@"
    wait_for 10 grep -q " ready " "$S/$name.log" || { echo "probe $name did not start" >&2; return 1; }
    # openbox says it runs before it manages the windows mapped meanwhile; a
    # window it missed is shown again, so that it can be given the focus.
    window=$(window_of "$name")
    if ! wait_for 3 managed "$window"; then
        as_user xdotool windowunmap --sync "$window"
        as_user xdotool windowmap --sync "$window"
        wait_for 5 managed "$window" || { echo "openbox does not manage $name" >&2; return 1; }
    fi
}

# The window manager has put the window in a frame of its own.
managed() {
    local parent
    parent=$(as_user xwininfo -id "$1" -tree | awk '/Parent window id:/ { print $4 }')
    [[ -n $parent && $parent != "$(as_user xwininfo -root | awk '/Window id:/ { print $4 }')" ]]
}

window_of() { as_user xdotool search --name "^$1\$" | head -1; }
program_window() { as_user xdotool search --classname '^vm4417$' | head -1; }

has_focus() { [[ $(as_user xdotool getwindowfocus) == "$1" ]]; }

activate() {
    as_user xdotool windowactivate "$1" 2>/dev/null
    wait_for 5 has_focus "$1" && return 0
    echo "activate $1: the focus is on $(as_user xdotool getwindowfocus 2>&1)" \
        "($(as_user xdotool getwindowfocus getwindowname 2>&1)); windows: $(as_user xdotool search --name . 2>&1 | tr '\n' ' ')" >&2
    return 1
}

click_at() { as_user xdotool mousemove --window "$1" "$2" "$3" click 1; }

start_key_monitor() {
    spawn keys stdbuf -oL xinput test-xi2 --root
    sleep 0.5
}
key_events_seen() { grep -c "(RawKeyPress)" "$S/keys.log" || true; }

probe_text() {
    awk '$2 == "press" && match($0, /".*"$/) { printf "%s", substr($0, RSTART + 1, RLENGTH - 2) }' \
        "$S/$1.log"
}
