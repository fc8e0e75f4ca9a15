#!/usr/bin/python3
"""Draws the wiring of the 16-LED board as an SVG: the parallel port's DB-25
connector (data D0-D7 on pins 2-9, nStrobe on pin 1, nAutoFd on pin 14,
ground on pins 18-25), two octal transparent latches on the shared data
lines, their latch-enable inputs on nStrobe (LEDs 1-8) and nAutoFd (LEDs
9-16), and an LED with its series resistor on every latch output.

  wiring.py OUT.svg"""
import sys

W, H = 980, 640
out = []


def text(x, y, s, size=12, anchor="start", weight="normal", fill="#222"):
    out.append('<text x="%g" y="%g" font-size="%d" text-anchor="%s" font-weight="%s" fill="%s">%s</text>'
               % (x, y, size, anchor, weight, fill, s))


def line(x1, y1, x2, y2, colour="#222", width=1.5, dash=None):
    extra = ' stroke-dasharray="%s"' % dash if dash else ""
    out.append('<line x1="%g" y1="%g" x2="%g" y2="%g" stroke="%s" stroke-width="%g"%s/>' % (x1, y1, x2, y2, colour, width, extra))


def box(x, y, w, h, fill="#f4f4f4"):
    out.append('<rect x="%g" y="%g" width="%g" height="%g" fill="%s" stroke="#222" stroke-width="1.5"/>' % (x, y, w, h, fill))


def dot(x, y):
    out.append('<circle cx="%g" cy="%g" r="3" fill="#222"/>' % (x, y))


def ground(x, y):
    line(x, y, x, y + 8)
    for i, half in enumerate((9, 6, 3)):
        line(x - half, y + 8 + 4 * i, x + half, y + 8 + 4 * i)


def resistor_and_led(x, y, colour):
    """From (x, y) rightwards: a resistor, an LED, then down to ground."""
    line(x, y, x + 14, y)
    box(x + 14, y - 5, 30, 10, fill="#fff")
    line(x + 44, y, x + 62, y)
    # the LED: a triangle pointing right and a bar
    out.append('<polygon points="%g,%g %g,%g %g,%g" fill="%s" stroke="#222" stroke-width="1.2"/>'
               % (x + 62, y - 7, x + 62, y + 7, x + 74, y, colour))
    line(x + 74, y - 7, x + 74, y + 7)
    for k in (0, 5):
        line(x + 68 + k, y - 9, x + 74 + k, y - 15, width=1)
    line(x + 74, y, x + 96, y)


def latch(x, y, title, leds_from, colours):
    box(x, y, 150, 220)
    text(x + 75, y + 18, title, 12, "middle", "bold")
    text(x + 75, y + 33, "octal transparent latch", 10, "middle")
    text(x + 75, y + 46, "(74HC573 type)", 10, "middle")
    for i in range(8):
        yy = y + 62 + i * 19
        text(x + 6, yy + 4, "D%d" % i, 10)
        text(x + 144, yy + 4, "Q%d" % i, 10, "end")
        resistor_and_led(x + 150, yy, colours[i])
        text(x + 260, yy + 4, "LED %d" % (leds_from + i), 11)
    text(x + 6, y + 214, "LE", 10, weight="bold")
    text(x + 144, y + 214, "/OE", 10, "end")
    line(x + 246, y + 62, x + 246, y + 62 + 7 * 19, width=2)
    ground(x + 246, y + 62 + 7 * 19)
    line(x + 144, y + 220, x + 144, y + 232)
    ground(x + 144, y + 232)


def zone(led):
    return "#ff4136" if led > 14 else ("#ffdc00" if led > 10 else "#2ecc40")


def main():
    out.append('<rect width="100%" height="100%" fill="#fff"/>')
    text(20, 28, "16 LEDs on the parallel port: two transparent latches on the data lines", 16, weight="bold")
    for k, note in enumerate((
            "Each latch passes D0-D7 to its outputs while its LE input is high and holds them while it is low.",
            "The 16-LED frame raises nAutoFd for the upper byte, then nStrobe for the lower one; with both lines high",
            "(control register 0: the 8-LED frame, the dark display) both latches follow the data lines.")):
        text(20, 48 + 15 * k, note, 11, fill="#444")
    text(760, 156, "Latches and LEDs: 5 V from an", 10, fill="#555")
    text(760, 170, "outside supply (the port gives", 10, fill="#555")
    text(760, 184, "none), one ground with the port.", 10, fill="#555")

    # The connector.
    box(20, 100, 120, 470, fill="#e8eef7")
    text(80, 120, "DB-25 (PC)", 12, "middle", "bold")
    pins = [("1", "nStrobe")] + [(str(2 + i), "D%d" % i) for i in range(8)] + [("14", "nAutoFd"), ("18-25", "GND")]
    ys = {}
    for k, (pin, name) in enumerate(pins):
        yy = 150 + k * 38
        text(28, yy + 4, pin, 11, weight="bold")
        text(132, yy + 4, name, 11, "end")
        line(140, yy, 190, yy)
        ys[name] = yy

    # The data bus: D0-D7 run to both latches.
    upper_x, upper_y, lower_x, lower_y = 430, 99, 430, 364  # latch rows fall between the pin rows
    for i in range(8):
        yy = ys["D%d" % i]
        bus_x = 200 + i * 22
        line(190, yy, bus_x, yy)
        dot(bus_x, yy)
        top, bottom = upper_y + 62 + i * 19, lower_y + 62 + i * 19
        line(bus_x, min(yy, top), bus_x, max(yy, bottom), colour="#1f5fbf")
        line(bus_x, top, upper_x, top, colour="#1f5fbf")
        line(bus_x, bottom, lower_x, bottom, colour="#1f5fbf")
        dot(bus_x, top)
        dot(bus_x, bottom)
    text(290, 96, "data lines D0-D7 (to both latches)", 11, "middle", fill="#1f5fbf")

    # Latch enables.
    out.append('<polyline points="140,%d 182,%d 182,%d 410,%d 410,%d %d,%d" fill="none" stroke="#c0392b" stroke-width="2"/>'
               % (ys["nStrobe"], ys["nStrobe"], 605, 605, lower_y + 210, lower_x, lower_y + 210))
    out.append('<polyline points="140,%d 186,%d 186,%d 400,%d 400,%d %d,%d" fill="none" stroke="#8e44ad" stroke-width="2"/>'
               % (ys["nAutoFd"], ys["nAutoFd"], 337, 337, upper_y + 210, upper_x, upper_y + 210))
    line(640, 600, 670, 600, colour="#c0392b", width=2)
    text(676, 604, "nStrobe (pin 1): LE of the lower latch, LEDs 1-8", 11, fill="#c0392b")
    line(640, 620, 670, 620, colour="#8e44ad", width=2)
    text(676, 624, "nAutoFd (pin 14): LE of the upper latch, LEDs 9-16", 11, fill="#8e44ad")
    line(140, ys["GND"], 160, ys["GND"])
    ground(160, ys["GND"])

    latch(upper_x, upper_y, "upper latch", 9, [zone(9 + i) for i in range(8)])
    latch(lower_x, lower_y, "lower latch", 1, [zone(1 + i) for i in range(8)])
    text(760, 120, "resistor 330 Ω", 10, fill="#555")
    text(760, 134, "(about 9 mA from 5 V)", 10, fill="#555")

    svg = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d" '
           'font-family="sans-serif">' % (W, H, W, H)] + out + ['</svg>']
    with open(sys.argv[1], "w") as f:
        f.write("\n".join(svg) + "\n")


if __name__ == "__main__":
    main()
