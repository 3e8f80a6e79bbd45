#!/usr/bin/env bash
# The program typing through XTest on a private Xvfb with the Czech layout,
# from each chip's frame to the Enter an X client receives
# (bench/frame-to-enter.py), in three runs side by side:
#   by key          the keys themselves, the operator's keyboard idle
#   by character    "Přesné znaky" on, the operator's keyboard idle
#   Ctrl held       by key, the operator holding Ctrl at the touch and
#                   letting go of it 0.5 s later
#
#   bench/x11-frame-to-enter.sh [BUILD_DIR] [CHIPS]
set -u
build=$(cd "${1:-build}" && pwd)
chips=${2:-10}
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d /tmp/vm4417-x11-bench.XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$dir"
}
trap cleanup EXIT

for n in $(seq 90 199); do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || break
done
export DISPLAY=:$n
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >"$dir/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
setxkbmap cz || exit 1

# One run: settings byte 14 = $2; $3 holds Ctrl around each touch when 1.
run() {
    local name=$1 exact=$2 hold=$3 i
    rm -rf "$dir/ports" "$dir/work" "$dir/chips"
    mkdir -p "$dir/ports" "$dir/work"
    mkfifo "$dir/chips"
    "$build/reader-sim" --dir "$dir/ports" --port 3 --stdin <"$dir/chips" >"$dir/reader.log" 2>&1 &
    local reader=$!
    exec 7>"$dir/chips"
    printf "\x03\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\\x0$exact\x00" \
        >"$dir/work/VM4417.INI"
    (cd "$dir/work" && VM4417_PORT_DIR="$dir/ports" QT_QPA_PLATFORM=xcb exec "$build/vm4417") \
        >"$dir/app.log" 2>&1 &
    local app=$!
    for _ in $(seq 100); do grep -q identification "$dir/reader.log" && break; sleep 0.1; done
    stdbuf -oL "$build/x-key-probe" >"$dir/probe.log" 2>&1 &
    local probe=$!
    for _ in $(seq 50); do grep -q ready "$dir/probe.log" && break; sleep 0.1; done
    sleep 1
    for ((i = 0; i < chips; i++)); do
        ((hold)) && xdotool keydown Control_L
        echo "$(printf '%014X' $((RANDOM * 32768 + RANDOM)))" >&7
        if ((hold)); then
            sleep 0.5
            xdotool keyup Control_L
            sleep 1.5
        else
            sleep 1.3
        fi
    done
    sleep 1
    echo "== $name"
    /usr/bin/python3 "$here/frame-to-enter.py" "$dir/reader.log" "$dir/probe.log"
    kill "$probe" "$app"
    exec 7>&-
    kill "$reader"
    wait "$probe" "$app" "$reader" 2>/dev/null
}

run "by key" 0 0
run "by character" 1 0
run "Ctrl held 0.5 s after the touch" 0 1
