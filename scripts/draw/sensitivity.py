#!/usr/bin/python3
"""Draws what the sensitivity does as an SVG: the demo signal at three
loudnesses, each run through the real analysis and meter (sonabar_meter_trace)
at the design's scale (Normal, 0 dB) and with the automatic sensitivity, and
the lit bar of 8 LEDs over time for both.

  sensitivity.py METER_TRACE DEMO_SIGNAL OUT.svg"""
import array
import math
import subprocess
import sys

SECONDS = 32                 # two passes of the demo's 16-s phrase
LOUDNESS = [-6, -18, -30]    # dBFS RMS (0 dBFS: RMS 32,768)
STRIDE = 4                   # one point every 40 ms
PX_PER_POINT = 0.75
ROW_H, LEFT, TOP_PAD, PANEL_GAP = 12, 46, 40, 36
NORMAL, AUTO = "#9a9a9a", "#2ecc40"


def demo(tool):
    raw = subprocess.run([sys.executable, tool, str(SECONDS)], check=True, capture_output=True).stdout
    samples = array.array("h", raw)
    if sys.byteorder != "little":
        samples.byteswap()
    return samples


def scaled(samples, db):
    rms = math.sqrt(sum(v * v for v in samples) / len(samples))
    k = 32768.0 * 10 ** (db / 20.0) / rms
    out = array.array("h", (max(-32768, min(32767, round(v * k))) for v in samples))
    if sys.byteorder != "little":
        out.byteswap()
    return out.tobytes()


def trace(tool, pcm, gain):
    out = subprocess.run([tool, "pcm", "-gain=" + gain], input=pcm, check=True, capture_output=True).stdout
    rows = [line.split() for line in out.decode().splitlines()]
    return [int(r[3]) for r in rows], [float(r[5]) for r in rows]


def steps(bars, left, bottom):
    points = []
    for i, bar in enumerate(bars[::STRIDE]):
        x = left + i * PX_PER_POINT
        y = bottom - bar * ROW_H
        points.append("%.2f,%d %.2f,%d" % (x, y, x + PX_PER_POINT, y))
    return " ".join(points)


def main():
    trace_tool, demo_tool, target = sys.argv[1], sys.argv[2], sys.argv[3]
    samples = demo(demo_tool)
    width = int(LEFT + SECONDS * 100 / STRIDE * PX_PER_POINT + 20)
    parts, y = [], 14
    for db in LOUDNESS:
        pcm = scaled(samples, db)
        normal, _ = trace(trace_tool, pcm, "0")
        automatic, factors = trace(trace_tool, pcm, "auto")
        settled = sorted(factors[len(factors) // 2:])[len(factors) // 4]
        title = "demo signal at %d dBFS RMS" % db
        note = ("grey: Normal (0 dB); green: Automatic, which learns the first second "
                "and holds about %+.0f dB over the second pass" % (20 * math.log10(settled)))
        parts.append('<text x="%d" y="%d" class="title">%s</text>' % (LEFT, y + 14, title))
        parts.append('<text x="%d" y="%d" class="note">%s</text>' % (LEFT, y + 29, note))
        top = y + TOP_PAD
        bottom = top + 8 * ROW_H
        length = len(normal) // STRIDE * PX_PER_POINT
        parts.append('<rect x="%d" y="%d" width="%.1f" height="%d" fill="#222"/>' % (LEFT, top, length, 8 * ROW_H))
        for led in range(1, 9):
            parts.append('<line x1="%d" y1="%d" x2="%.1f" y2="%d" class="grid"/>'
                         % (LEFT, bottom - led * ROW_H, LEFT + length, bottom - led * ROW_H))
        parts.append('<polygon points="%d,%d %s %.2f,%d" fill="%s" fill-opacity="0.55"/>'
                     % (LEFT, bottom, steps(automatic, LEFT, bottom), LEFT + length, bottom, AUTO))
        parts.append('<polyline points="%s" fill="none" stroke="%s" stroke-width="1.2"/>'
                     % (steps(normal, LEFT, bottom), NORMAL))
        for led in (0, 4, 8):
            parts.append('<text x="%d" y="%d" class="axis" text-anchor="end">%d</text>' % (LEFT - 6, bottom - led * ROW_H + 4, led))
        for second in range(0, SECONDS + 1, 2):
            x = LEFT + second * 100 / STRIDE * PX_PER_POINT
            parts.append('<line x1="%.1f" y1="%d" x2="%.1f" y2="%d" class="tick"/>' % (x, bottom, x, bottom + 4))
            parts.append('<text x="%.1f" y="%d" class="axis" text-anchor="middle">%d</text>' % (x, bottom + 15, second))
        parts.append('<text x="%d" y="%d" class="axis">LEDs</text>' % (4, top + 4 * ROW_H))
        parts.append('<text x="%.1f" y="%d" class="axis" text-anchor="end">time (s)</text>' % (LEFT + length, bottom + 28))
        y = bottom + PANEL_GAP
    svg = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">' % (width, y, width, y),
           '<style>text{font-family:sans-serif;fill:#ddd}.title{font-size:14px;font-weight:bold}'
           '.note{font-size:11px;fill:#bbb}.axis{font-size:10px}.grid{stroke:#333}.tick{stroke:#888}</style>',
           '<rect width="100%" height="100%" fill="#111"/>'] + parts + ['</svg>']
    with open(target, "w") as f:
        f.write("\n".join(svg) + "\n")


if __name__ == "__main__":
    main()
