#!/usr/bin/python3
"""Reads the fake parallel port's log and decodes what the LEDs showed, for
the integration tests. The LED board is modelled as the frames expect it:
8 LEDs on the data lines (shown by a data write after control 0), or two
latches for 16 LEDs, the upper one taking the data byte when control goes
from 3 to 1, the lower one when it goes from 3 to 2.

  port_frames.py now                               prints the monotonic clock
  port_frames.py steady LOG FROM TO KIND LEDS      an LED lights within 1 s of FROM, and from
                                                   0.3 s later until TO most frames of KIND
                                                   (8 or 16) show LEDS lit, none more
  port_frames.py dark LOG FROM                     every frame from FROM on is dark (and some exist)
  port_frames.py fall LOG FROM WITHIN              from FROM the lit count never rises and is 0
                                                   within WITHIN seconds
  port_frames.py switch LOG FROM KIND               from FROM on: a dark display (control 0, data 0)
                                                   before the first frame of KIND, and from a tick
                                                   later on frames of KIND only (10 or more)
  port_frames.py moving LOG KIND LEVELS           frames of KIND show at least LEVELS different
                                                   lit counts, rising and falling at least 3 times each
  port_frames.py hold LOG FROM TO                  every frame from FROM to TO (20 or more) lights the
                                                   same number of LEDs, at least one; prints it
  port_frames.py rate LOG                          prints the frames per second shown
  port_frames.py last LOG N                        prints the last N register writes
  port_frames.py dark_writes LOG FROM WITHIN       prints how many dark displays (data 0 while the
                                                   control register holds 0) were written within
                                                   WITHIN s of FROM
  port_frames.py count LOG WHAT                    prints how many writes of kind WHAT were logged
  port_frames.py kinds LOG                         prints the kinds of the frames shown (8, 16)
  port_frames.py intervals LOG FROM TO             prints the median, 99th percentile and longest
                                                   interval between frames from FROM to TO (ms),
                                                   and the number of intervals
Exits 1 with a reason when a check fails."""
import sys
import time

# A glitch of the audio path (a busy machine) can lower a block's level for a
# moment, never raise it: a steady display allows a few lower frames only.
STEADY_SHARE = 0.8
FIRST_LIGHT_SECONDS = 1.0  # from the start of the sound to the first lit LED
SETTLE_SECONDS = 0.3       # from the first lit LED to a steady display


def read_log(path):
    entries = []
    with open(path) as f:
        for line in f:
            parts = line.split()
            if len(parts) == 3:
                entries.append((float(parts[0]), parts[1], int(parts[2])))
    return entries


def frames(entries):
    """(time, kind, lit LED count) for every frame the board shows."""
    out = []
    control, data, upper = None, 0, 0
    for t, what, value in entries:
        if what == "data":
            data = value
            if control == 0:
                out.append((t, 8, bin(value).count("1")))
        elif what == "control":
            if control == 3 and value == 1:
                upper = data
            elif control == 3 and value == 2:
                out.append((t, 16, bin(upper).count("1") + bin(data).count("1")))
            control = value
    return out


def fail(reason):
    sys.exit(reason)


def main():
    command = sys.argv[1]
    if command == "now":
        print("%.6f" % time.monotonic())
        return
    entries = read_log(sys.argv[2])
    shown = frames(entries)
    if command == "steady":
        start, end, kind, leds = float(sys.argv[3]), float(sys.argv[4]), int(sys.argv[5]), int(sys.argv[6])
        first_lit = next((t for t, k, count in shown if t >= start and count > 0), None)
        if first_lit is None or first_lit - start > FIRST_LIGHT_SECONDS:
            fail("no LED lit within %.1f s of %.3f" % (FIRST_LIGHT_SECONDS, start))
        settled = first_lit + SETTLE_SECONDS
        window = [count for t, k, count in shown if settled <= t <= end and k == kind]
        if len(window) < 20:
            fail("only %d frames of %d LEDs between %.3f and %.3f" % (len(window), kind, settled, end))
        histogram = {c: window.count(c) for c in sorted(set(window))}
        print("first LED lit after %.3f s; then %d-LED frames: %d, lit counts %s"
              % (first_lit - start, kind, len(window), histogram))
        if max(window) > leds:
            fail("frames show more than %d LEDs: %s" % (leds, histogram))
        if histogram.get(leds, 0) < STEADY_SHARE * len(window):
            fail("fewer than %d%% of the frames show %d LEDs: %s" % (STEADY_SHARE * 100, leds, histogram))
    elif command == "dark":
        start = float(sys.argv[3])
        window = [count for t, _, count in shown if t >= start]
        if not window:
            fail("no frames after %.3f" % start)
        if any(window):
            fail("%d of %d frames after %.3f are lit" % (sum(1 for c in window if c), len(window), start))
        print("%d frames, all dark" % len(window))
    elif command == "fall":
        start, within = float(sys.argv[3]), float(sys.argv[4])
        window = [(t, count) for t, _, count in shown if t >= start]
        if not window:
            fail("no frames after %.3f" % start)
        for (_, before), (t, after) in zip(window, window[1:]):
            if after > before:
                fail("the display rose from %d to %d LEDs at %.3f while falling" % (before, after, t))
        dark = [t for t, count in window if count == 0]
        if not dark or dark[0] - start > within:
            fail("not dark within %.1f s (last count %d)" % (within, window[-1][1]))
        print("fell from %d LEDs to dark in %.2f s" % (window[0][1], dark[0] - start))
    elif command == "switch":
        start, kind = float(sys.argv[3]), int(sys.argv[4])
        first = next((t for t, k, _ in shown if t >= start and k == kind), None)
        if first is None:
            fail("no frames of %d LEDs after %.3f" % (kind, start))
        writes = [(t, what, value) for t, what, value in entries
                  if start <= t <= first and what in ("control", "data")]
        darks = [b[0] for a, b in zip(writes, writes[1:]) if a[1:] == ("control", 0) and b[1:] == ("data", 0)]
        if not darks:
            fail("no dark display before the first frame of %d LEDs" % kind)
        # A tick's frame may straddle the dark display (it is written from another thread).
        later = [k for t, k, _ in shown if t > darks[-1] + 0.015]
        if len(later) < 10 or any(k != kind for k in later):
            fail("after the dark display the frames are not all of %d LEDs: %s" % (kind, later[:40]))
        print("dark display, then %d frames of %d LEDs" % (len(later), kind))
    elif command == "moving":
        kind, levels = int(sys.argv[3]), int(sys.argv[4])
        counts = [count for _, k, count in shown if k == kind]
        rises = sum(1 for a, b in zip(counts, counts[1:]) if b > a)
        falls = sum(1 for a, b in zip(counts, counts[1:]) if b < a)
        distinct = sorted(set(counts))
        print("%d frames of %d LEDs: lit counts %s, %d rises, %d falls" % (len(counts), kind, distinct, rises, falls))
        if len(distinct) < levels or rises < 3 or falls < 3:
            fail("the level does not move enough")
    elif command == "hold":
        start, end = float(sys.argv[3]), float(sys.argv[4])
        window = [count for t, _, count in shown if start <= t <= end]
        if len(window) < 20:
            fail("only %d frames between %.3f and %.3f" % (len(window), start, end))
        if len(set(window)) != 1 or window[0] == 0:
            fail("the display did not hold one lit level: %s" % {c: window.count(c) for c in sorted(set(window))})
        print(window[0])
    elif command == "rate":
        if len(shown) < 2:
            fail("fewer than two frames")
        print("%.0f" % ((len(shown) - 1) / (shown[-1][0] - shown[0][0])))
    elif command == "dark_writes":
        start = float(sys.argv[3])
        end = start + float(sys.argv[4])
        # Written from the UI thread, the dark display's two writes may have a
        # tick's frame between them; its data 0 still follows a control 0.
        control, count = None, 0
        for t, what, value in entries:
            if what == "control":
                control = value
            elif what == "data" and value == 0 and control == 0 and start <= t <= end:
                count += 1
        print(count)
    elif command == "last":
        for _, what, value in [e for e in entries if e[1] in ("data", "control", "mode")][-int(sys.argv[3]):]:
            print(what, value)
    elif command == "intervals":
        start, end = float(sys.argv[3]), float(sys.argv[4])
        times = [t for t, _, _ in shown if start <= t <= end]
        gaps = sorted((b - a) * 1000 for a, b in zip(times, times[1:]))
        if len(gaps) < 100:
            fail("only %d frame intervals between %.3f and %.3f" % (len(gaps), start, end))
        print("%.3f %.3f %.3f %d" % (gaps[len(gaps) // 2], gaps[int(len(gaps) * 0.99)], gaps[-1], len(gaps)))
    elif command == "count":
        print(sum(1 for e in entries if e[1] == sys.argv[3]))
    elif command == "kinds":
        print(" ".join(str(kind) for kind in sorted({k for _, k, _ in shown})))
    else:
        fail("unknown command " + command)


if __name__ == "__main__":
    main()
