#!/usr/bin/env bash
# Which clients receive the program's XTest keystrokes in a Wayland session?
# Runs Debian's weston (x11 backend on a private Xvfb, so that its seat has a
# keyboard and activates new windows) with Xwayland; the program, on
# Xwayland, types the captures of a simulated reader (typing on, a chip every
# 2 s) while first an X client (xev) and then a native Wayland client
# (weston-eventdemo) has the focus, and counts what each receives. A control
# types on the compositor's own keyboard. Needs build/ (vm4417, reader-sim),
# weston, xwayland, xvfb, x11-utils, xdotool. Uses only the simulator's port.
#   bench/wayland-keys.sh              Xwayland's keymap as weston sets it
#   SETXKB=cz bench/wayland-keys.sh    setxkbmap cz on Xwayland first
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
W=$(mktemp -d); mkdir -p $W/ports $W/work; mkdir -m 700 $W/rt
export XDG_RUNTIME_DIR=$W/rt; unset WAYLAND_DISPLAY
pids=()
trap 'for p in "${pids[@]}"; do kill $p 2>/dev/null; done; wait 2>/dev/null; rm -rf $W' EXIT
for n in $(seq 90 199); do [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || break; done
Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >$W/xvfb.log 2>&1 & pids+=($!)
sleep 1
printf '[keyboard]\nkeymap_layout=%s\n' "${LAYOUT:-us}" > $W/weston.ini
DISPLAY=:$n weston --config=$W/weston.ini --backend=x11-backend.so --socket=wl-m --xwayland --width=1024 --height=768 \
  --log=$W/weston.log >$W/weston.out 2>&1 & pids+=($!)
for _ in $(seq 50); do grep -q "xserver listening on display" $W/weston.log 2>/dev/null && break; sleep 0.2; done
xd=$(grep -o "xserver listening on display :[0-9]*" $W/weston.log | grep -o ":[0-9]*")
echo "host Xvfb :$n, weston socket wl-m, Xwayland $xd"
printf '\x03\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00' > $W/work/VM4417.INI
$root/build/reader-sim --dir $W/ports --port 3 --every 2 >$W/sim.out 2>&1 & pids+=($!)
sleep 0.5
(cd $W/work && exec env DISPLAY=$xd VM4417_PORT_DIR=$W/ports QT_QPA_PLATFORM=xcb \
  $root/build/vm4417) >$W/app.out 2>&1 & pids+=($!)
sleep 4
[[ -n "${SETXKB:-}" ]] && setxkbmap -display $xd $SETXKB
# Phase A: an X client under Xwayland is the newest window, so it has the focus.
DISPLAY=$xd xev -event keyboard -event focus >$W/xev.out 2>&1 & pids+=($!)
sleep 9
a_frames=$(grep -c " frame " $W/sim.out)
a_xev=$(grep -c "^KeyPress" $W/xev.out)
echo "A: X client focused: frames so far $a_frames, xev KeyPress $a_xev"
grep -A2 "^KeyPress" $W/xev.out | grep -o "keysym 0x[0-9a-f]*, [A-Za-z_0-9]*" | awk '{print $3}' | head -30 | tr '\n' ' '; echo
# Phase B: a native Wayland client is the newest window, so it has the focus.
xev_before=$a_xev
WAYLAND_DISPLAY=wl-m stdbuf -oL weston-eventdemo --log-key --log-focus >$W/eventdemo.out 2>&1 & pids+=($!)
sleep 9
b_xev=$(( $(grep -c "^KeyPress" $W/xev.out) - xev_before ))
echo "B: Wayland client focused: frames so far $(grep -c " frame " $W/sim.out), xev KeyPress since $b_xev, eventdemo key events $(grep -ci "key" $W/eventdemo.out)"
head -3 $W/eventdemo.out
# Control: keys typed on the compositor's own keyboard (the host X server's
# XTest into weston's window, like a physical keyboard) reach the Wayland client.
win=$(DISPLAY=:$n xdotool search --class weston | head -1)
DISPLAY=:$n xdotool mousemove --window "$win" 5 5 type --window "$win" abc
sleep 1
echo "control: eventdemo key lines after typing abc on the compositor's keyboard: $(grep -ci "key" $W/eventdemo.out)"
grep -i key $W/eventdemo.out | head -3
