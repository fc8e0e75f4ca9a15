#!/usr/bin/python3
"""Writes raw mono signed 16-bit little-endian PCM at 44,100 Hz to stdout:
a sine of the given frequency and amplitude (0 for silence) for the given
number of seconds, a tenth of a second at a time, so that a player fed from
it starts at once.  tone.py FREQUENCY AMPLITUDE SECONDS"""
import math
import struct
import sys

RATE = 44100
PIECE = RATE // 10


def main():
    frequency, amplitude, seconds = float(sys.argv[1]), float(sys.argv[2]), float(sys.argv[3])
    count = int(RATE * seconds)
    step = 2 * math.pi * frequency / RATE
    for start in range(0, count, PIECE):
        n = min(PIECE, count - start)
        samples = [int(round(amplitude * math.sin(step * i))) for i in range(start, start + n)]
        try:
            sys.stdout.buffer.write(struct.pack("<%dh" % n, *samples))
        except BrokenPipeError:
            return


if __name__ == "__main__":
    main()
