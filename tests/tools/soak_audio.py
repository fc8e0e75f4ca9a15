#!/usr/bin/python3
"""Writes endless varied sound for the soak run to stdout as raw mono signed
16-bit little-endian PCM at 44,100 Hz: steady tones of any pitch and level,
logarithmic sweeps across the band, beats (short loud bursts with gaps), noise
and silence, one after another in an order drawn from a seeded generator, so
that every level from dark to full scale and back keeps reaching the meter.
The reader (pacat) paces it.  soak_audio.py [SEED]"""
import math
import random
import struct
import sys

RATE = 44100
CHUNK = RATE // 10  # samples written at a time


def tone(rng):
    frequency = rng.uniform(60, 12000)
    amplitude = rng.choice([500, 3000, 12000, 32767])
    step = 2 * math.pi * frequency / RATE
    for i in range(int(RATE * rng.uniform(1, 4))):
        yield amplitude * math.sin(step * i)


def sweep(rng):
    low, high = 40.0, 16000.0
    if rng.random() < 0.5:
        low, high = high, low
    count = int(RATE * rng.uniform(2, 5))
    amplitude = rng.choice([8000, 32767])
    phase = 0.0
    for i in range(count):
        frequency = low * (high / low) ** (i / count)
        phase += 2 * math.pi * frequency / RATE
        yield amplitude * math.sin(phase)


def beats(rng):
    period = int(RATE * rng.uniform(0.25, 0.5))
    burst = int(RATE * 0.05)
    step = 2 * math.pi * rng.uniform(80, 400) / RATE
    for i in range(period * rng.randint(4, 12)):
        yield 32767 * math.sin(step * i) if i % period < burst else 0.0


def noise(rng):
    amplitude = rng.choice([2000, 20000])
    for _ in range(int(RATE * rng.uniform(0.5, 2))):
        yield rng.uniform(-amplitude, amplitude)


def silence(rng):
    for _ in range(int(RATE * rng.uniform(1, 3))):
        yield 0.0


def main():
    rng = random.Random(int(sys.argv[1]) if len(sys.argv) > 1 else 1)
    kinds = [tone, sweep, beats, noise, silence]
    out = sys.stdout.buffer
    chunk = []
    try:
        while True:
            for sample in rng.choice(kinds)(rng):
                chunk.append(max(-32768, min(32767, int(sample))))
                if len(chunk) == CHUNK:
                    out.write(struct.pack("<%dh" % CHUNK, *chunk))
                    out.flush()
                    chunk = []
    except (BrokenPipeError, KeyboardInterrupt):
        pass


if __name__ == "__main__":
    main()
