#!/usr/bin/env python3
"""Frame to Enter: for each frame the reader simulator sent, the time until
the key probe received the Enter that ends its capture, with the probe's
key pauses. The simulator stamps local wall-clock time, the probe
CLOCK_MONOTONIC; the two are tied together here, once.

    frame-to-enter.py READER_LOG PROBE_LOG
"""
import datetime
import re
import statistics
import sys
import time

offset = time.time() - time.clock_gettime(time.CLOCK_MONOTONIC)
today = datetime.date.today()


def frame_times(path):
    for line in open(path):
        m = re.match(r"(\d\d):(\d\d):(\d\d)\.(\d{3}) frame ", line)
        if m:
            h, mi, s, ms = map(int, m.groups())
            wall = datetime.datetime(today.year, today.month, today.day, h, mi, s, ms * 1000)
            yield wall.timestamp() - offset


def probe_events(path):
    for line in open(path):
        parts = line.split()
        if len(parts) >= 3 and parts[1] in ("press", "release"):
            yield int(parts[0]) / 1e6, parts[1], parts[2]


frames = list(frame_times(sys.argv[1]))
events = list(probe_events(sys.argv[2]))
enters = [t for t, kind, name in events if kind == "press" and name == "Return"]
delays = []
for frame in frames:
    later = [e for e in enters if e > frame]
    if later:
        delays.append((later[0] - frame) * 1000)
# The pause after each key event the client sees, less the 30 ms asked for;
# a code key's release is followed by the next press at once, by design.
gaps = []
for (t0, k0, _), (t1, k1, _) in zip(events, events[1:]):
    gap = (t1 - t0) * 1000
    if 15 < gap < 100:
        gaps.append(gap - 30)
print(f"captures: {len(delays)} of {len(frames)} frames")
if delays:
    print(f"frame to Enter: median {statistics.median(delays):.1f} ms, max {max(delays):.1f} ms")
if gaps:
    print(f"30 ms pauses ({len(gaps)}): median deviation {statistics.median(gaps):+.2f} ms, "
          f"max {max(gaps, key=abs):+.2f} ms")
