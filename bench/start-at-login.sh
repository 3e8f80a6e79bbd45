#!/usr/bin/env bash
# Start to a window ready for the first chip (the reader identified), on an
# X11 desktop (Xvfb with openbox) with the reader simulator: the command of
# the unit that systemd's xdg-autostart-generator makes from the program's
# own autostart entry (a start at login), beside the desktop menu's
# launcher, alternating, RUNS times each. Prints each run and the medians.
#
#   bench/start-at-login.sh BUILD-DIR [RUNS]      (as root)
set -u
BUILD=$(cd "${1:?usage: start-at-login.sh BUILD-DIR [RUNS]}" && pwd)
runs=${2:-10}
here=$(cd "$(dirname "$0")" && pwd)
export LC_ALL=C.UTF-8
. "$here/../harness/session.sh"
. "$here/../harness/x11/desktop.sh"
generator=/usr/lib/systemd/user-generators/systemd-xdg-autostart-generator

x11_begin "${VM4417_BENCH_USER:-vm4417-bench-start}" us || exit 1
config="$S/home/.config"
session_env XDG_CONFIG_HOME="$config" XDG_CONFIG_DIRS="$S/xdg" VM4417_PORT_DIR="$S/ports" \
    QT_QPA_PLATFORM=xcb
folder="$S/home/Documents/VM4417"
as_user mkdir -p "$folder" "$S/units" "$S/bin"
# The launcher as the package installs it, beside the program.
cp "$here/../packaging/linux/vm4417-launcher" "$S/bin/vm4417-launcher"
ln -s "$BUILD/vm4417" "$S/bin/vm4417"
as_user "$BUILD/vm4417" --folder "$folder" --autostart on >/dev/null
as_user env XDG_CONFIG_HOME="$config" XDG_CONFIG_DIRS="$S/xdg" "$generator" "$S/units" "$S/units" "$S/units"
exec_start=$(sed -n 's/^ExecStart=:\{0,1\}//p' "$S/units/app-cz.velm.vm4417@autostart.service")
eval "unit_command=($exec_start)"

now() { date +%s.%N; }
identified() { grep -q identification "$S/reader.log"; }
# One start: a fresh reader, the settings file (reader on COM3), the command,
# the time until the reader answers the identification; then the program ends.
measure() {
    start_reader "$BUILD"
    printf '\x03\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00' >"$folder/VM4417.INI"
    chown "$SESSION_USER:" "$folder/VM4417.INI"
    local t0 t1
    t0=$(now)
    spawn run "$@"
    until identified; do sleep 0.005; done
    t1=$(now)
    echo "$t0 $t1" | awk '{ printf "%.0f\n", ($2 - $1) * 1000 }'
    pkill -TERM -u "$SESSION_USER" -x vm4417
    wait_for 10 bash -c "! pgrep -u $SESSION_USER -x vm4417 >/dev/null"
    stop_reader
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: >"$S/login.ms"
: >"$S/menu.ms"
for ((i = 1; i <= runs; i++)); do
    measure "${unit_command[@]}" >>"$S/login.ms"
    measure "$S/bin/vm4417-launcher" >>"$S/menu.ms"
    echo "run $i: at login $(tail -n 1 "$S/login.ms") ms, from the menu $(tail -n 1 "$S/menu.ms") ms"
done
echo "start at login (the generator's unit command): median $(median <"$S/login.ms") ms," \
    "min $(sort -n "$S/login.ms" | head -1), max $(sort -n "$S/login.ms" | tail -1)"
echo "from the menu (vm4417-launcher): median $(median <"$S/menu.ms") ms," \
    "min $(sort -n "$S/menu.ms" | head -1), max $(sort -n "$S/menu.ms" | tail -1)"
