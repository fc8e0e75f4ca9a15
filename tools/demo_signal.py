#!/usr/bin/python3
"""Writes a music-like demo signal to stdout as raw mono signed 16-bit
little-endian PCM at 44,100 Hz, for the demo and the measurements: an
eight-bar phrase at 120 beats a minute (16 s) with a kick drum, a snare,
hi-hats, a bass line and an arpeggio, which grows from quiet to loud (softly
clipped at the top), breaks down to near silence for a bar and ends with a
rising sweep; the phrase repeats for as long as asked. Deterministic (fixed seed).

  demo_signal.py SECONDS"""
import array
import math
import random
import sys

RATE = 44100
BEAT = RATE // 2           # 120 beats a minute
BAR = 4 * BEAT
PHRASE_BARS = 8
# Loudness of each bar of the phrase (the meter is linear in amplitude).
BAR_GAIN = [0.25, 0.4, 0.6, 0.8, 1.0, 1.3, 0.04, 1.0]
DRIVE = 2.5  # soft clipping of the sum: loud bars come near full scale
BREAKDOWN_BAR = 6
SWEEP_BAR = 7
BASS_NOTES = [55.0, 55.0, 65.41, 49.0]              # A1 A1 C2 G1, a bar each, twice
ARPEGGIO = [440.0, 523.25, 659.25, 880.0, 659.25, 523.25, 587.33, 783.99]


def add(buffer, start, samples):
    for i, value in enumerate(samples):
        j = start + i
        if j >= len(buffer):
            break
        buffer[j] += value


def kick(length=int(0.25 * RATE)):
    out, phase = [], 0.0
    for i in range(length):
        t = i / RATE
        frequency = 45.0 + 95.0 * math.exp(-t * 30.0)
        phase += 2 * math.pi * frequency / RATE
        out.append(math.sin(phase) * math.exp(-t * 14.0))
    return out


def snare(rng, length=int(0.16 * RATE)):
    return [((rng.random() * 2 - 1) * 0.7 + 0.3 * math.sin(2 * math.pi * 185.0 * i / RATE))
            * math.exp(-i / RATE * 24.0) for i in range(length)]


def hat(rng, length=int(0.04 * RATE)):
    out, last = [], 0.0
    for i in range(length):
        noise = rng.random() * 2 - 1
        out.append((noise - last) * 0.5 * math.exp(-i / RATE * 90.0))  # a crude high-pass
        last = noise
    return out


def tone(frequency, length, attack=0.01, decay=6.0):
    return [math.sin(2 * math.pi * frequency * i / RATE) * min(1.0, i / (attack * RATE))
            * math.exp(-i / RATE * decay) for i in range(length)]


def sweep(length, low=150.0, high=5000.0):
    out, phase = [], 0.0
    for i in range(length):
        x = i / length
        phase += 2 * math.pi * low * (high / low) ** x / RATE
        out.append(math.sin(phase) * (0.2 + 0.8 * x))
    return out


def phrase():
    rng = random.Random(1)
    mix = [0.0] * (PHRASE_BARS * BAR)
    kick_sound, snare_sound = kick(), snare(rng)
    for bar in range(PHRASE_BARS):
        gain = BAR_GAIN[bar]
        start = bar * BAR
        for eighth in range(8):
            add(mix, start + eighth * BEAT // 2, [v * 0.25 * gain for v in hat(rng)])
        if bar == BREAKDOWN_BAR:
            continue
        for beat in range(4):
            at = start + beat * BEAT
            drum = kick_sound if beat % 2 == 0 else snare_sound
            add(mix, at, [v * 0.6 * gain for v in drum])
            add(mix, at, [v * 0.8 * gain for v in tone(BASS_NOTES[bar % 4], BEAT, decay=2.0)])
        if bar == SWEEP_BAR:
            add(mix, start, [v * 0.8 for v in sweep(BAR)])
            continue
        for eighth, frequency in enumerate(ARPEGGIO):
            add(mix, start + eighth * BEAT // 2, [v * 0.35 * gain for v in tone(frequency, BEAT // 2, decay=9.0)])
    return array.array("h", (int(round(math.tanh(DRIVE * v) * 32000)) for v in mix))


def main():
    seconds = float(sys.argv[1])
    total = int(seconds * RATE)
    samples = phrase()
    if sys.byteorder != "little":
        samples.byteswap()
    data = samples.tobytes()
    out = sys.stdout.buffer
    written = 0
    try:
        while written < total:
            count = min(len(samples), total - written)
            out.write(data[:2 * count])
            written += count
        out.flush()
    except BrokenPipeError:
        pass


if __name__ == "__main__":
    main()
