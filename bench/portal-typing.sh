#!/usr/bin/env bash
# What typing through the RemoteDesktop portal costs on a headless GNOME
# (mutter 43), measured with the portal way's driver and key-probe, both on
# CLOCK_MONOTONIC: set-up (Prepare to the dialog on screen, the dialog's
# close to Ready), each capture from the first key call to Enter in the
# client, and the 30 ms key pauses as the client sees them. As root:
#   bench/portal-typing.sh [BUILD_DIR] [CAPTURES]
set -u
build=$(cd "${1:-build}" && pwd)
captures=${2:-20}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../harness/session.sh"
. "$here/../harness/wayland/gnome.sh"

gnome_begin vm4417-gnome "$build" || exit 1
spawn driver "$build/harness/portal-driver" --captures "$captures" --every 800
wait_count 15 "$S/probe.log" ' leave$' 1 || { echo "no dialog" >&2; exit 1; }
share
wait_count $((captures + 10)) "$S/driver.log" ' typed [0-9]+ ' "$captures"
sleep 0.5
/usr/bin/python3 - "$S/driver.log" "$S/probe.log" <<'PY'
import statistics, sys
driver = [l.split() for l in open(sys.argv[1])]
probe = [l.split(None, 3) for l in open(sys.argv[2])]
at = lambda rows, word: [int(r[0]) for r in rows if len(r) > 1 and r[1] == word]
prepare = at(driver, 'prepare')[0]
ready = [int(r[0]) for r in driver if r[1:3] == ['status', 'Ready']][0]
leave, enter = at(probe, 'leave')[0], at(probe, 'enter')[1]
print('set-up: Prepare to dialog shown %.0f ms; dialog closed to Ready %.1f ms' %
      ((leave - prepare) / 1e3, (ready - enter) / 1e3))
starts = at(driver, 'typing')
returns = [int(r[0]) for r in probe if r[1] == 'press' and r[2] == 'Return']
lat = [(e - s) / 1e3 for s, e in zip(starts, returns)]
print('captures %d, Enter received %d; first key call to Enter: median %.1f ms, max %.1f ms'
      % (len(starts), len(returns), statistics.median(lat), max(lat)))
holds, down = [], {}
for r in probe:
    if len(r) < 3 or r[2] == 'Shift_L' or r[0] < str(enter): continue
    if r[1] == 'press': down[r[2]] = int(r[0])
    elif r[1] == 'release' and r[2] in down: holds.append((int(r[0]) - down.pop(r[2])) / 1e3)
dev = [abs(h - 30) for h in holds]
print('30 ms pauses (press to release) seen by the client: %d, median %.2f ms, max deviation %.2f ms'
      % (len(holds), statistics.median(holds), max(dev)))
PY
