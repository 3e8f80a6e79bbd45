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
    local user=$1 layout=$2
    needs Xvfb:xvfb xdpyinfo:x11-utils xprop:x11-utils xwininfo:x11-utils \
        setxkbmap:x11-xkb-utils openbox:openbox xdotool:xdotool xinput:xinput
    session_begin "$user" || return 1
    start_xvfb || return 1
    as_user setxkbmap "$layout" || return 1
    spawn openbox openbox --sm-disable
    # openbox names itself the window manager (_NET_SUPPORTING_WM_CHECK)
    # before it loads its theme and takes over the windows already there,
    # and never manages a window mapped meanwhile. Where its fonts are read
    # for the first time (a fresh machine, a font cache that does not match
    # the fonts) that takes seconds: a probe started then never showed. Its
    # list of clients comes last, once it handles new windows.
    wait_for 20 openbox_manages || { echo "openbox did not start" >&2; return 1; }
}

# Xvfb on the first free display from :90. The server's own lock decides:
# a session that starts at the same moment as another one on this machine
# and picks the same number sees its server end, and tries the next one,
# instead of running its desktop on the other's display. -displayfd: the
# server writes its number there once it accepts connections.
# -noreset: a layout set with setxkbmap stays when the last client goes.
start_xvfb() {
    local n pid
    for n in $(seq 90 199); do
        [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
        : >"$S/display"
        as_user Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset -displayfd 3 \
            3>"$S/display" >"$S/xvfb.log" 2>&1 &
        pid=$!
        wait_for 10 xvfb_settled "$pid"
        if [[ -s $S/display ]]; then
            session_env DISPLAY=":$n"
            return 0
        fi
        if kill -0 "$pid" 2>/dev/null; then
            echo "Xvfb on :$n did not start: $(cat "$S/xvfb.log")" >&2
            return 1
        fi
    done
    echo "no free display from :90 to :199" >&2
    return 1
}
# Ready, or ended (its display was taken).
xvfb_settled() { [[ -s $S/display ]] || ! kill -0 "$1" 2>/dev/null; }

openbox_manages() {
    local properties
    properties=$(as_user xprop -root _NET_SUPPORTING_WM_CHECK _NET_CLIENT_LIST)
    [[ $properties == *"_NET_SUPPORTING_WM_CHECK(WINDOW)"*"_NET_CLIENT_LIST(WINDOW)"* ]]
}

start_probe() {
    local name=$1
    shift
    spawn "$name" stdbuf -oL "$BUILD/x-key-probe" --name "$name" "$@"
    wait_for 10 grep -q " ready " "$S/$name.log" ||
        { echo "probe $name did not start: $(cat "$S/$name.log")" >&2; return 1; }
    wait_for 5 managed "$(window_of "$name")" ||
        { echo "openbox does not manage probe $name" >&2; return 1; }
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
