#!/usr/bin/env bash
# What an X client receives from the whole program (its settings file, the
# reader simulator, Xvfb with openbox) on several keyboard layouts, with
# "Přesné znaky" off and on: the order number 7, the time, the code
# 00000A1B2C3D, each line as the client typed it. For the README's table.
# As root:
#   bench/x11-layouts.sh [BUILD_DIR]
set -u
BUILD=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
export LC_ALL=C.UTF-8
. "$here/../harness/session.sh"
. "$here/../harness/probe.sh"
. "$here/../harness/x11/desktop.sh"

x11_begin vm4417-layouts us || exit 1
start_probe target --focus || exit 1
enters_more_than() { (($(grep -c ' press Return ' "$S/target.log") > $1)); }

# setxkbmap arguments for each layout; the two-group one is an office with
# Czech and English, English active.
layouts=("cz" "fr" "us" "de" "-layout us,cz" "ru")
names=("cz" "fr" "us" "de" "us and cz, us active" "ru")
for exact in 0 1; do
    start_reader "$BUILD"
    # The counter stands at 6, so that the capture is number 7.
    printf "\x03\x01\x01\x01\x00\x00\x01\x00\x06\x00\x00\x00\x00\x00\x0$exact\x00" \
        >"$S/work/VM4417.INI"
    chown "$SESSION_USER:" "$S/work/VM4417.INI"
    for i in "${!layouts[@]}"; do
        # shellcheck disable=SC2086  # the layout's words are setxkbmap's arguments
        as_user setxkbmap ${layouts[$i]}
        printf "\x03\x01\x01\x01\x00\x00\x01\x00\x06\x00\x00\x00\x00\x00\x0$exact\x00" \
            >"$S/work/VM4417.INI"
        spawn app env -C "$S/work" VM4417_PORT_DIR="$S/ports" QT_QPA_PLATFORM=xcb "$BUILD/vm4417"
        wait_for 20 grep -q identification "$S/reader.log"
        activate "$(window_of target)" || echo "the target has no focus" >&2
        enters=$(grep -c ' press Return ' "$S/target.log")
        errors=$(grep -c "Chyba" "$S/app.log")
        chip 00000A1B2C3D99
        wait_for 5 enters_more_than "$enters"
        sleep 2.5
        if (($(grep -c "Chyba" "$S/app.log") > errors)); then
            got="not typed: $(tail -n 1 "$S/app.log" | sed 's/^vm4417: //')"
        else
            got=$(typed_lines "$S/target.log" | tail -n 1)
        fi
        printf '%-28s byte 14 = %s: %s\n' "${names[$i]}" "$exact" "$got"
        pkill -TERM -u "$SESSION_USER" -x vm4417
        wait_for 10 bash -c "! pgrep -u $SESSION_USER -x vm4417 >/dev/null"
        stop_reader
        start_reader "$BUILD"
    done
    stop_reader
done
