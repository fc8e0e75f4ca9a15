#!/usr/bin/python3
"""Writes raw mono signed 16-bit little-endian PCM at 44,100 Hz to stdout:
a sine of the given frequency and amplitude (0 for silence) for the given
number of seconds.  tone.py FREQUENCY AMPLITUDE SECONDS"""
import math
import struct
import sys

RATE = 44100


def main():
    frequency, amplitude, seconds = float(sys.argv[1]), float(sys.argv[2]), float(sys.argv[3])
    count = int(RATE * seconds)
    step = 2 * math.pi * frequency / RATE
    samples = (int(round(amplitude * math.sin(step * i))) for i in range(count))
    sys.stdout.buffer.write(struct.pack("<%dh" % count, *samples))


if __name__ == "__main__":
    main()
