# A headless GNOME desktop for the typing tests and benchmarks, sourced after
# session.sh: mutter 43 as the Wayland compositor on the session's own bus,
# the RemoteDesktop portal (xdg-desktop-portal with its GNOME back end,
# started by D-Bus activation), an operator who answers the portal's dialog
# with keys, and key-probe, a native client that has the focus and prints
# what arrives.
#
#   gnome_begin USER BUILD     the desktop, the operator, the probe in $S
#   operator KEYS...           taps the keys (Shift space Tab Escape Return)
#   share                      answers the dialog: keyboard ticked, "Share"
#   refuse                     answers the dialog: Escape ("Cancel")
#   count_in FILE REGEX        how many lines of FILE match
#   wait_count SECONDS FILE REGEX N   until at least N lines match
#   typed_lines                what the probe received, one line per Enter
#   keys_left_down             keys the probe saw pressed and never released
#   pid_of_user_program PATH   the session user's process running PATH

GNOME_SOCKET=wl-gnome
OPERATOR_LINES=0

gnome_begin() {
    local user=$1 build=$2 here
    here=$(dirname "${BASH_SOURCE[0]}")
    session_begin "$user" || return 1
    session_env XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=$GNOME_SOCKET
    spawn mutter mutter --headless --wayland --no-x11 --wayland-display=$GNOME_SOCKET \
        --virtual-monitor 1280x1024
    wait_for 20 test -S "$S/rt/$GNOME_SOCKET" || { echo "mutter did not start" >&2; return 1; }
    # The portals start through D-Bus activation and take the compositor and
    # the desktop's name from the bus's activation environment.
    as_user dbus-update-activation-environment WAYLAND_DISPLAY=$GNOME_SOCKET \
        XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland || return 1

    mkfifo "$S/operator.in"
    chown "$user:" "$S/operator.in"
    as_user python3 "$here/mutter-keys.py" <"$S/operator.in" >"$S/operator.log" 2>&1 &
    exec {OPERATOR_FD}>"$S/operator.in"
    wait_for 15 grep -q '^ready' "$S/operator.log" || { echo "no remote input" >&2; return 1; }

    spawn probe "$build/harness/key-probe"
    wait_for 10 grep -q ' enter$' "$S/probe.log" || { echo "the probe has no focus" >&2; return 1; }
}

operator() {
    echo "$@" >&"$OPERATOR_FD"
    OPERATOR_LINES=$((OPERATOR_LINES + 1))
    wait_count 10 "$S/operator.log" '^done' $OPERATOR_LINES
}

# Keyboard-only request: Space ticks the keyboard, three Tabs reach "Share",
# Space presses it. The program's way is ready a second after the answer.
share() {
    operator space Tab Tab Tab space
    sleep 1.5
}
refuse() { operator Escape; }

count_in() { grep -c -E "$2" "$1" 2>/dev/null || true; }

has_count() { (($(count_in "$1" "$2") >= $3)); }
wait_count() { wait_for "$1" has_count "$2" "$3" "$4"; }

typed_lines() {
    awk '$2 == "press" && match($0, /".*"$/) {
             text = substr($0, RSTART + 1, RLENGTH - 2)
             if (text == "\\x0d") { print line; line = "" } else line = line text
         }' "$S/probe.log"
}

keys_left_down() {
    awk '$2 == "press" { down[$3] = 1 } $2 == "release" { delete down[$3] }
         END { for (k in down) printf "%s ", k }' "$S/probe.log"
}

pid_of_user_program() { pgrep -u "$SESSION_USER" -f "^$1( |\$)" | head -1; }
