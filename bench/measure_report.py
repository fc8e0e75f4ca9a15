#!/usr/bin/python3
"""Turns the logs of scripts/measure into the figures of docs/performance.md.

  measure_report.py latency BURSTS_LOG PORT_LOG PEER_LOG FIGURES
                                                    onset at the sink -> first lit frame, and
                                                    -> cava's first frame with a bar past 1/8
  measure_report.py ticks PORT_LOG COUNT            intervals between COUNT frames
  measure_report.py sample PID...                   one line per thread of each program:
                                                    "pid tid name run_ns utime+stime_ticks wake-ups
                                                     preemptions time"
  measure_report.py cpu BEFORE AFTER FIGURES NAME...
                                                    CPU per second of running, per program and thread
  measure_report.py allocations LOG SECONDS         allocations per thread between the two dumps
  measure_report.py summary FIGURES                 the one line that sums the run up

FIGURES is a file of "name value" lines that latency and cpu add to and
summary reads.
"""
import bisect
import os
import statistics
import time
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "tools"))
import port_frames  # noqa: E402

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def quantile(values, q):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(q * len(ordered)))]


def ms(seconds):
    return "%.1f ms" % (seconds * 1000)


def onset_delays(onsets, shown, lit):
    """For each onset: the time from it to the first frame at or after it that
    is lit; None when the last frame before it was not dark, or when no frame
    was lit within a second."""
    times = [t for t, _ in shown]
    delays = []
    for onset in onsets:
        at = bisect.bisect_left(times, onset)
        first = next((t for t, value in shown[at:] if lit(value)), None)
        dark_before = at == 0 or not lit(shown[at - 1][1])
        delays.append(first - onset if dark_before and first is not None and first - onset <= 1.0 else None)
    return delays


def add_figures(path, **figures):
    with open(path, "a") as f:
        for name, value in figures.items():
            f.write("%s %.6f\n" % (name, value))


def latency(bursts_log, port_log, peer_log, figures):
    onsets = []
    with open(bursts_log) as f:
        for line in f:
            _, _, handoff, delay = line.split()
            onsets.append((float(handoff), float(delay)))
    shown = [(t, count) for t, kind, count in port_frames.frames(port_frames.read_log(port_log)) if kind == 16]
    delays = onset_delays([h + d for h, d in onsets], shown, lambda count: count > 0)
    at_sink = [a for a in delays if a is not None]
    from_handoff = [a + d for a, (_, d) in zip(delays, onsets) if a is not None]
    # cava's frames: "SECONDS LARGEST_BAR", the bars 16-bit; lit past 1/8 of full scale.
    with open(peer_log) as f:
        peer = [(float(t), int(bar)) for t, bar in (line.split() for line in f)]
    peer_at_sink = [a for a in onset_delays([h + d for h, d in onsets], peer, lambda bar: bar * 8 > 65535)
                    if a is not None]
    print("\n## Latency: onset of a tone burst to the first frame that lights an LED")
    print("%d bursts; measured: Sonabar %d, cava %d (a burst is skipped when the display was not dark at "
          "its onset or nothing showed it within a second)" % (len(onsets), len(at_sink), len(peer_at_sink)))
    print("| program, from | median | mean | p99 | max | min |")
    print("|---|---|---|---|---|---|")
    for name, values in (("Sonabar (first lit LED), from the onset's time at the sink "
                          "(hand-over + the delay the server reported)", at_sink),
                         ("Sonabar, from the hand-over of the onset to the server (includes the player's buffer)",
                          from_handoff),
                         ("cava (first frame with a bar past 1/8 of full scale), from the onset's time at the sink",
                          peer_at_sink)):
        print("| %s | %s | %s | %s | %s | %s |" % (name, ms(statistics.median(values)), ms(statistics.mean(values)),
                                                  ms(quantile(values, 0.99)), ms(max(values)), ms(min(values))))
    print("server-reported delay at hand-over: median %s" % ms(statistics.median(d for _, d in onsets)))
    ratio = statistics.median(at_sink) / statistics.median(peer_at_sink)
    print("Sonabar / cava, medians: %.2f (target at most 0.6)" % ratio)
    add_figures(figures, latency_median=statistics.median(at_sink) * 1000,
                latency_p99=quantile(at_sink, 0.99) * 1000, cava_median=statistics.median(peer_at_sink) * 1000)


def ticks(port_log, count):
    entries = port_frames.read_log(port_log)
    # A 16-LED frame starts with control 3, data, control 1; its time is the tick's.
    frame_starts = []
    for i, (t, what, value) in enumerate(entries):
        if what == "control" and value == 3 and i + 1 < len(entries) and entries[i + 1][1] == "data" \
                and i + 2 < len(entries) and entries[i + 2][1:] == ("control", 1):
            frame_starts.append(t)
    frame_starts = frame_starts[100:100 + count + 1]  # past start-up
    intervals = [b - a for a, b in zip(frame_starts, frame_starts[1:])]
    span = frame_starts[-1] - frame_starts[0]
    late = sum(1 for i in intervals if i > 0.015)
    print("\n## Tick regularity over %d ticks (the first write of each frame in the port log)" % len(intervals))
    print("| median | p1 | p99 | max | mean | ticks > 15 ms apart |")
    print("|---|---|---|---|---|---|")
    print("| %.3f ms | %.3f ms | %.3f ms | %.3f ms | %.4f ms | %d |" % (
        statistics.median(intervals) * 1e3, quantile(intervals, 0.01) * 1e3, quantile(intervals, 0.99) * 1e3,
        max(intervals) * 1e3, span / len(intervals) * 1e3, late))
    # The tick sleeps to absolute deadlines and skips those it has missed, so
    # every frame should sit on the 10 ms grid of the first one.
    slots = round(span / 0.01)
    offsets = [((t - frame_starts[0]) - round((t - frame_starts[0]) / 0.01) * 0.01) for t in frame_starts]
    print("grid: %d intervals over %d slots of 10 ms (%d deadlines skipped after a late tick); "
          "offset from the first frame's grid: median %+.3f ms, last %+.3f ms (no drift)"
          % (len(intervals), slots, slots - len(intervals), statistics.median(offsets) * 1e3, offsets[-1] * 1e3))


def sample(pids):
    for pid in pids:
        for tid in sorted(os.listdir("/proc/%s/task" % pid), key=int):
            base = "/proc/%s/task/%s" % (pid, tid)
            try:
                name = open(base + "/comm").read().strip().replace(" ", "_")
                run_ns = int(open(base + "/schedstat").read().split()[0])
                fields = open(base + "/stat").read().rsplit(")", 1)[1].split()
                cpu_ticks = int(fields[11]) + int(fields[12])
                # A thread that went to sleep and was woken switched out
                # voluntarily; one that was preempted, involuntarily.
                switches = {}
                for line in open(base + "/status"):
                    if line.startswith(("voluntary_ctxt", "nonvoluntary_ctxt")):
                        switches[line.split(":")[0]] = int(line.split()[1])
            except OSError:
                continue
            print(pid, tid, name, run_ns, cpu_ticks, switches["voluntary_ctxt_switches"],
                  switches["nonvoluntary_ctxt_switches"], "%.6f" % time.monotonic())


def read_sample(path):
    out = {}
    for line in open(path):
        pid, tid, name, run_ns, cpu_ticks, wakes, preempted, when = line.split()
        out[(pid, tid)] = (name, int(run_ns), int(cpu_ticks), int(wakes), int(preempted), float(when))
    return out


def cpu(before_path, after_path, figures, names):
    before, after = read_sample(before_path), read_sample(after_path)
    pids = []
    for key in before:
        if key[0] not in pids:
            pids.append(key[0])
    totals = {}
    print("\n## CPU per second of running (same run, same signal)")
    print("| program | thread | CPU (ms/s) | wake-ups (/s) | preempted (/s) | utime+stime (ms/s) |")
    print("|---|---|---|---|---|---|")
    for pid, name in zip(pids, names):
        total_ns = total_ticks = total_wakes = total_preempted = 0
        seconds = None
        for key in sorted(k for k in after if k[0] == pid and k in before):
            thread, run_a, ticks_a, wakes_a, preempted_a, when_a = after[key]
            _, run_b, ticks_b, wakes_b, preempted_b, when_b = before[key]
            seconds = when_a - when_b
            total_ns += run_a - run_b
            total_ticks += ticks_a - ticks_b
            total_wakes += wakes_a - wakes_b
            total_preempted += preempted_a - preempted_b
            if run_a - run_b > 0:
                print("| %s | %s | %.3f | %.1f | %.1f | |" % (
                    name, thread, (run_a - run_b) / 1e6 / seconds, (wakes_a - wakes_b) / seconds,
                    (preempted_a - preempted_b) / seconds))
        totals[name] = total_ns / 1e6 / seconds
        print("| **%s** | all | **%.3f** | %.1f | %.1f | %.2f |" % (
            name, totals[name], total_wakes / seconds, total_preempted / seconds,
            total_ticks * 1000.0 / CLOCK_TICKS / seconds))
    if {"sonabar", "cava", "reference"} <= set(totals):
        print("\nSonabar / cava = %.3f (target at most 0.30); Sonabar / reference = %.2f"
              % (totals["sonabar"] / totals["cava"], totals["sonabar"] / totals["reference"]))
        add_figures(figures, cpu_ratio=totals["sonabar"] / totals["cava"])


def allocations(log, seconds):
    dumps = {}
    for line in open(log):
        parts = line.split()
        mark, tid, counts = parts[0], parts[1], (int(parts[-2]), int(parts[-1]))
        dumps.setdefault(mark, {})[tid] = (" ".join(parts[2:-2]), counts)
    first, last = dumps[min(dumps, key=int)], dumps[max(dumps, key=int)]
    print("\n## Heap allocations in steady state (%s s apart, -16bit -peak -preview)" % seconds)
    print("| thread | allocations | frees |")
    print("|---|---|---|")
    total = 0
    for tid, (name, (allocs, frees)) in sorted(last.items(), key=lambda item: int(item[0])):
        before = first.get(tid, (name, (0, 0)))[1]
        total += allocs - before[0]
        print("| %s | %d | %d |" % (name, allocs - before[0], frees - before[1]))
    print("total allocations between the dumps: %d (threads not listed never allocated)" % total)


def summary(figures):
    values = dict((name, float(value)) for name, value in (line.split() for line in open(figures)))
    print("\nsummary: latency median %.1f ms, p99 %.1f ms; cava median %.1f ms; CPU Sonabar/cava %.3f" % (
        values["latency_median"], values["latency_p99"], values["cava_median"], values["cpu_ratio"]))


def main():
    command = sys.argv[1]
    if command == "latency":
        latency(sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5])
    elif command == "ticks":
        ticks(sys.argv[2], int(sys.argv[3]))
    elif command == "sample":
        sample(sys.argv[2:])
    elif command == "cpu":
        cpu(sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5:])
    elif command == "allocations":
        allocations(sys.argv[2], sys.argv[3])
    elif command == "summary":
        summary(sys.argv[2])
    else:
        sys.exit("unknown command " + command)


if __name__ == "__main__":
    main()
