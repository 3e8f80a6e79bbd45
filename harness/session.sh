# Throwaway desktop sessions for the typing tests, sourced by the scenario
# scripts in tests/wayland and tests/x11. Every session runs as an unprivileged user made
# for it (compositors refuse root, and a user of its own lets the end of the
# session kill every process it started), with its own XDG_RUNTIME_DIR and
# session bus in a fresh folder. Nothing here talks to a real session: the
# caller starts compositors headless only.
#
#   needs PROGRAM:PACKAGE...
#                           ends the scenario with one line naming the Debian
#                           package of each program it runs that is missing
#   needs_python MODULE:PACKAGE...
#                           the same for a module of Debian's python3
#   session_begin USER      folder $S, runtime dir, bus; cleanup on exit
#   as_user CMD...          runs CMD as USER in the session's environment
#   spawn NAME CMD...       the same in the background, output in $S/NAME.log
#   session_end             stops everything USER runs, removes $S
#   check, wait_for         see checks.sh
#
# and for the program under test, run as the session's user:
#   start_reader BUILD      a simulated reader on COM3 in $S/ports; `chip`
#                           makes it send a frame
#   chip CODE               a chip with this 14-character code touches it
#   touch_random_chips N    N chips with random codes, 1.3 s apart
#   start_program BUILD NAME=VALUE...
#                           the program in $S/work, with typing and the
#                           daily log on, in the given environment; its
#                           output in $S/app.log (or $S/$APP_LOG.log)

. "${BASH_SOURCE[0]%/*}/checks.sh"

SESSION_USER=
S=

needs() {
    local pair missing=()
    for pair in "$@"; do
        command -v "${pair%%:*}" >/dev/null || missing+=("${pair%%:*} (Debian package ${pair#*:})")
    done
    _report_missing "${missing[@]}"
}

needs_python() {
    local pair missing=()
    for pair in "$@"; do
        /usr/bin/python3 -c "import ${pair%%:*}" 2>/dev/null ||
            missing+=("python3's ${pair%%:*} (Debian package ${pair#*:})")
    done
    _report_missing "${missing[@]}"
}

_report_missing() {
    (($# == 0)) && return 0
    local IFS=,
    echo "$(basename "$0"): not installed: $*; scripts/install-deps installs what scripts/packages.txt lists" >&2
    exit 1
}

session_begin() {
    SESSION_USER=$1
    needs dbus-daemon:dbus setpriv:util-linux
    if ! id -u "$SESSION_USER" >/dev/null 2>&1; then
        useradd --system --no-create-home --home-dir /nonexistent \
            --shell /usr/sbin/nologin "$SESSION_USER"
    fi
    # Xwayland, started by the user's compositor, would otherwise make the
    # shared socket folder its own, and no other user's X server could
    # start.
    mkdir -p /tmp/.X11-unix
    chown root:root /tmp/.X11-unix
    chmod 1777 /tmp/.X11-unix
    # A session left by an earlier run that was killed.
    pkill -KILL -u "$SESSION_USER" 2>/dev/null || true
    # The folder belongs to the session's user, so that its programs can
    # write their files there too.
    S=$(mktemp -d /tmp/vm4417-session.XXXXXX)
    mkdir -m 700 "$S/rt" "$S/home"
    chown -R "$SESSION_USER:" "$S"
    trap session_end EXIT
    SESSION_ENV=(
        HOME="$S/home" USER="$SESSION_USER" LOGNAME="$SESSION_USER"
        PATH=/usr/local/bin:/usr/bin:/bin XDG_RUNTIME_DIR="$S/rt"
        DBUS_SESSION_BUS_ADDRESS="unix:path=$S/rt/bus" LANG=C.UTF-8
    )
    spawn bus dbus-daemon --session --nofork --nopidfile --address="unix:path=$S/rt/bus"
    wait_for 10 test -S "$S/rt/bus" || { echo "session bus did not start" >&2; return 1; }
}

# Adds NAME=VALUE pairs to the environment of later as_user and spawn calls.
session_env() { SESSION_ENV+=("$@"); }

as_user() {
    setpriv --reuid="$SESSION_USER" --regid="$SESSION_USER" --clear-groups \
        env -i "${SESSION_ENV[@]}" "$@"
}

spawn() {
    local name=$1
    shift
    as_user "$@" >"$S/$name.log" 2>&1 &
}

session_end() {
    trap - EXIT
    [[ -n "$SESSION_USER" ]] || return 0
    pkill -TERM -u "$SESSION_USER" 2>/dev/null || true
    wait_for 5 bash -c "! pgrep -u $SESSION_USER >/dev/null" || pkill -KILL -u "$SESSION_USER" 2>/dev/null
    wait 2>/dev/null
    [[ -n "${KEEP_SESSION:-}" ]] && echo "session folder kept: $S" >&2 || rm -rf "$S"
    SESSION_USER=
}

start_reader() {
    local build=$1
    as_user mkdir -p "$S/ports" "$S/work"
    rm -f "$S/chips"
    as_user mkfifo "$S/chips"
    spawn reader bash -c "exec '$build/reader-sim' --dir '$S/ports' --port 3 --stdin <'$S/chips'"
    exec 7>"$S/chips"
    wait_for 10 test -e "$S/ports/COM3"
}

chip() { echo "$1" >&7; }

# N chips with random codes, 1.3 s apart: each capture is typed, and its
# Enter received, before the next frame.
touch_random_chips() {
    local i
    for ((i = 0; i < $1; i++)); do
        chip "$(printf '%014X' $((RANDOM * 32768 + RANDOM)))"
        sleep 1.3
    done
}

# A program that was killed leaves the simulator's pseudo-terminal in
# exclusive mode (the simulator keeps it open, so it is never closed for the
# last time); a program started after it needs a reader of its own.
stop_reader() {
    exec 7>&-
    pkill -u "$SESSION_USER" -x reader-sim || true
    wait_for 10 bash -c "! pgrep -u $SESSION_USER -x reader-sim >/dev/null"
}

# Settings: the reader on COM3, captures typed as keys, LED off after each
# capture, each capture in the daily log, no sound.
start_program() {
    local build=$1
    shift
    printf '\x03\x00\x00\x01\x01\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' >"$S/work/VM4417.INI"
    chown "$SESSION_USER:" "$S/work/VM4417.INI"
    spawn "${APP_LOG:-app}" env -C "$S/work" VM4417_PORT_DIR="$S/ports" "$@" "$build/vm4417"
}
