#!/usr/bin/env bash
# The program typing through the RemoteDesktop portal on a headless GNOME:
# 20 chips from the reader simulator, each from its frame to the Enter the
# native client receives (bench/frame-to-enter.py). As root:
#   bench/gnome-frame-to-enter.sh [BUILD_DIR] [CHIPS]
set -u
build=$(cd "${1:-build}" && pwd)
chips=${2:-20}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../harness/session.sh"
. "$here/../harness/wayland/gnome.sh"

gnome_begin vm4417-gnome "$build" || exit 1
start_reader "$build"
started=$(date +%s%N)
start_program "$build" QT_QPA_PLATFORM=offscreen
wait_count 15 "$S/probe.log" ' leave$' 1 || { echo "no dialog" >&2; exit 1; }
echo "start to permission dialog: $((($(date +%s%N) - started) / 1000000)) ms (polled every 0.1 s)"
share
wait_count 10 "$S/probe.log" ' enter$' 2
touch_random_chips "$chips"
sleep 1
/usr/bin/python3 "$here/frame-to-enter.py" "$S/reader.log" "$S/probe.log"
