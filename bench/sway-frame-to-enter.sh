#!/usr/bin/env bash
# The program typing through the virtual keyboard on a headless sway: 20
# chips from the reader simulator, each from its frame to the Enter the
# native client receives, and the 30 ms pauses as that client sees them
# (bench/frame-to-enter.py). As root:
#   bench/sway-frame-to-enter.sh [BUILD_DIR] [CHIPS]
set -u
build=$(cd "${1:-build}" && pwd)
chips=${2:-20}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../harness/session.sh"
. "$here/../harness/wayland/sway.sh"

sway_begin vm4417-sway || exit 1
start_reader "$build"
start_program "$build" QT_QPA_PLATFORM=xcb
wait_for 20 grep -q identification "$S/reader.log" || { echo "no reader found" >&2; exit 1; }
wait_for 10 virtual_keyboard_present || { echo "no virtual keyboard" >&2; exit 1; }
spawn probe stdbuf -oL "$build/harness/key-probe"
wait_for 10 grep -q " ready" "$S/probe.log" || { echo "the probe did not start" >&2; exit 1; }
sleep 1
touch_random_chips "$chips"
sleep 1
/usr/bin/python3 "$here/frame-to-enter.py" "$S/reader.log" "$S/probe.log"
