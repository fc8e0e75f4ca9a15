#!/usr/bin/python3
"""Draws the meter's ballistics as an SVG: for each scenario, what the LEDs
show tick by tick (one column per tick, LED 1 at the bottom), from the
frames that the real meter_tick wrote, as printed by sonabar_meter_trace.

  ballistics.py METER_TRACE OUT.svg"""
import subprocess
import sys

SCENARIOS = [
    ("8-fall", 8, "8 LEDs, peak on: one tick at full level, then silence",
     "bar steps down every 10 ticks; the dot holds until tick 55, then falls one LED every 15 ticks"),
    ("16-fall", 16, "16 LEDs, peak on: one tick at full level, then silence",
     "bar steps down every 6 ticks; the dot holds until tick 45, then falls faster and faster (gravity)"),
    ("8-dot-in-bar", 8, "8 LEDs, peak on: one tick at 8, then a steady 6",
     "the dot falls into the bar: from tick 71 bar and dot are both 6"),
    ("16-dot-in-bar", 16, "16 LEDs, peak on: one tick at 16, 75 ticks at 11, then 2",
     "the dot passes into the bar at tick 89 and rests on 2 from tick 103; the bar reaches 2 at tick 128"),
]
CELL_W, CELL_H, GAP = 4, 9, 1
LEFT, TOP_PAD, PANEL_GAP = 46, 44, 40
COLOURS = {"green": "#2ecc40", "yellow": "#ffdc00", "red": "#ff4136", "dark": "#303030"}


def zone(led, count):
    if led > count - count // 8:
        return "red"
    if led > count * 5 // 8:
        return "yellow"
    return "green"


def trace(tool, name):
    out = subprocess.run([tool, "scenario", name], check=True, capture_output=True, text=True).stdout
    return [int(line.split()[1]) for line in out.splitlines()]


def main():
    tool, target = sys.argv[1], sys.argv[2]
    panels = [(title, note, count, trace(tool, name)) for name, count, title, note in SCENARIOS]
    width = LEFT + max(len(leds) for *_, leds in panels) * CELL_W + 20
    parts, patterns, y = [], [], 16
    for title, note, count, leds in panels:
        parts.append('<text x="%d" y="%d" class="title">%s</text>' % (LEFT, y + 14, title))
        parts.append('<text x="%d" y="%d" class="note">%s</text>' % (LEFT, y + 30, note))
        top = y + TOP_PAD
        height = count * CELL_H
        # Dark LEDs are the panel's patterned background; lit ones are drawn over it.
        pattern = "dark%d" % len(patterns)
        patterns.append('<pattern id="%s" x="%d" y="%d" width="%d" height="%d" patternUnits="userSpaceOnUse">'
                        '<rect width="%d" height="%d" fill="%s"/></pattern>'
                        % (pattern, LEFT, top, CELL_W, CELL_H, CELL_W - GAP, CELL_H - GAP, COLOURS["dark"]))
        parts.append('<rect x="%d" y="%d" width="%d" height="%d" fill="url(#%s)"/>'
                     % (LEFT, top, len(leds) * CELL_W, height, pattern))
        for tick, mask in enumerate(leds):
            x = LEFT + tick * CELL_W
            for led in range(1, count + 1):
                if (mask >> (led - 1)) & 1:
                    parts.append('<use href="#%s" x="%d" y="%d"/>' % (zone(led, count), x, top + (count - led) * CELL_H))
        for led in (1, count // 2, count):
            parts.append('<text x="%d" y="%d" class="axis" text-anchor="end">%d</text>'
                         % (LEFT - 6, top + (count - led) * CELL_H + CELL_H - 1, led))
        for tick in range(0, len(leds), 10):
            x = LEFT + tick * CELL_W
            parts.append('<line x1="%d" y1="%d" x2="%d" y2="%d" class="grid"/>' % (x, top + height, x, top + height + 4))
            if tick % 20 == 0:
                parts.append('<text x="%d" y="%d" class="axis" text-anchor="middle">%d</text>' % (x, top + height + 15, tick))
        parts.append('<text x="%d" y="%d" class="axis">LED</text>' % (4, top + height // 2))
        parts.append('<text x="%d" y="%d" class="axis">tick (10 ms)</text>'
                     % (LEFT + len(leds) * CELL_W - 70, top + height + 28))
        y = top + height + PANEL_GAP
    svg = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">' % (width, y, width, y),
           '<style>text{font-family:sans-serif;fill:#ddd}.title{font-size:14px;font-weight:bold}'
           '.note{font-size:11px;fill:#bbb}.axis{font-size:10px}.grid{stroke:#888}</style>',
           '<defs>'] + patterns
    svg += ['<rect id="%s" width="%d" height="%d" fill="%s"/>' % (name, CELL_W - GAP, CELL_H - GAP, COLOURS[name])
            for name in ("green", "yellow", "red")]
    svg += ['</defs>', '<rect width="100%" height="100%" fill="#111"/>'] + parts + ['</svg>']
    with open(target, "w") as f:
        f.write("\n".join(svg) + "\n")


if __name__ == "__main__":
    main()
