#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: fuzz/corpus/<target>/<seed>.

Each seed is a small input in the target's own layout (described at the top
of each fuzz_*.cpp) for a case worth starting from. Inputs that once found a
fault are added to the same folders by hand and are not rewritten here.
Usage: fuzz/make_seeds.py   (rewrites the seeds, leaves other files alone)
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# Driver request checks: selector, raw code, output length, then the buffer.
def request(selector, raw=0, output=0, buffer=b""):
    return struct.pack("<BII", selector, raw, output) + buffer


READ, WRITE, ANY_CODE, DEVICE_TYPE, NULL_WHEN_EMPTY = 0, 1, 2, 3, 4
write("request_check", "read_lpt1_status", request(READ, output=1, buffer=b"\x79\x03"))
write("request_check", "read_without_output", request(READ, output=0, buffer=b"\x79\x03"))
write("request_check", "read_empty_null_buffer", request(READ | NULL_WHEN_EMPTY, output=1))
write("request_check", "write_lpt1_data", request(WRITE, buffer=b"\x78\x03\xa5"))
write("request_check", "write_ecp_control", request(WRITE, buffer=b"\x7a\x07\x00"))
write("request_check", "write_lpt3_longer", request(WRITE, output=64, buffer=b"\xbc\x03\xff\xee\xee"))
write("request_check", "write_last_register", request(WRITE, buffer=b"\x7f\x03\x01"))
write("request_check", "write_denied_port", request(WRITE, buffer=b"\x80\x03\x01"))
write("request_check", "write_below_lpt2", request(WRITE, buffer=b"\x77\x02\x01"))
write("request_check", "write_too_short", request(WRITE, buffer=b"\x78\x03"))
write("request_check", "write_empty", request(WRITE))
write("request_check", "other_function", request(DEVICE_TYPE, raw=0x803 << 2, output=1, buffer=b"\x78\x03\x00"))
write("request_check", "other_device_type", request(ANY_CODE, raw=0x00222008, buffer=b"\x78\x03\x00"))


# FFT: count pick (u16), flags, optional 32-bit count, then the samples.
INVERSE, NO_REAL_IN, NO_IMAG_IN, NO_REAL_OUT, NO_IMAG_OUT, POWER, RAW, WIDE = (1 << i for i in range(8))


def fft(pick, flags, samples=b"", count=None):
    head = struct.pack("<HB", pick, flags)
    if count is not None:
        head += struct.pack("<I", count)
    return head + samples


def pcm(values):
    return b"".join(struct.pack("<h", v) for v in values)


def doubles(values):
    return b"".join(struct.pack("<d", v) for v in values)


# Samples are taken in pairs (real, imaginary); with imag_in absent every
# other sample goes unused, so one period of 128 samples is 16 periods of 64.
period = [round(32767 * math.sin(2 * math.pi * i / 128)) for i in range(128)]
write("fft", "pcm_sine_1024", fft(10, POWER | NO_IMAG_IN, pcm(period)))
write("fft", "pcm_full_scale_4096", fft(12, POWER, pcm([-32768, 32767, -32768, -32768])))
write("fft", "pair_of_two", fft(1, POWER, pcm([1000, -1000, 250, 0])))
write("fft", "inverse_256", fft(8, POWER | INVERSE, pcm(range(-500, 500, 7))))
write("fft", "count_1000", fft(1000, 0, pcm([1, 2, 3])))
write("fft", "count_3", fft(3, 0, pcm([1, 2, 3])))
write("fft", "count_0", fft(0, 0, pcm([5])))
write("fft", "count_1", fft(0, POWER, pcm([5])))
write("fft", "no_real_in", fft(3, POWER | NO_REAL_IN, pcm([7, 8])))
write("fft", "no_outputs", fft(3, POWER | NO_REAL_OUT | NO_IMAG_OUT, pcm([7, 8])))
write("fft", "huge_non_power", fft(0, WIDE, count=0x7FFFFFFF))
write("fft", "power_beyond_arrays", fft(0, WIDE, count=0x80000000))
write("fft", "raw_extremes_16", fft(4, POWER | RAW, doubles([math.nan, math.inf, -math.inf, 1e308, 5e-324, -0.0])))
write("fft", "raw_bounded_64", fft(6, POWER | RAW | INVERSE, doubles([1e280, -3.5, 1e-300, 2.0 ** -1000])))


# Meter: records of (control byte, operands); control bit 0 peak, bit 1
# sixteen, bits 2-4 the change, bits 5-7 log2 of the ticks to run.
PEAK, SIXTEEN = 1, 2
KEEP, BIN_RAW, BIN_TABLE, FILL_RAW, FILL_TABLE, CLEAR, BIN_LEVEL, RUN_RAW = range(8)
# Indices into the target's table of interesting values.
T_65536, T_65535_9, T_131072, T_MINUS_131072, T_HUGE, T_INF, T_MINUS_INF, T_NAN, T_INT_OVERFLOW = 2, 3, 4, 5, 8, 10, 11, 12, 15


def tick(options, change, operands=b"", log2_ticks=0):
    return bytes([options | change << 2 | log2_ticks << 5]) + operands


def table(index):
    return bytes([index])


def bin_table(k, index):
    return struct.pack("<HB", k, index)


write("meter_tick", "full_then_silence_8_peak",
      tick(PEAK, FILL_TABLE, table(T_65536)) + tick(PEAK, CLEAR, log2_ticks=7) + tick(PEAK, KEEP, log2_ticks=6))
write("meter_tick", "full_then_silence_16_peak",
      tick(PEAK | SIXTEEN, FILL_TABLE, table(T_131072)) + tick(PEAK | SIXTEEN, CLEAR, log2_ticks=7))
write("meter_tick", "sixteen_then_eight",
      tick(PEAK | SIXTEEN, BIN_TABLE, bin_table(0, T_131072), 2) + tick(PEAK, CLEAR, log2_ticks=7))
write("meter_tick", "quantisation_edges",
      tick(0, BIN_TABLE, bin_table(8, T_65535_9)) + tick(0, BIN_TABLE, bin_table(8, T_65536))
      + tick(SIXTEEN, BIN_TABLE, bin_table(1016, T_MINUS_131072)))
write("meter_tick", "extremes",
      tick(PEAK, BIN_TABLE, bin_table(5, T_NAN), 3) + tick(PEAK, BIN_TABLE, bin_table(1023, T_MINUS_INF), 3)
      + tick(PEAK | SIXTEEN, FILL_TABLE, table(T_INF), 3) + tick(PEAK | SIXTEEN, FILL_TABLE, table(T_HUGE))
      + tick(0, FILL_TABLE, table(T_INT_OVERFLOW)) + tick(PEAK, FILL_RAW, doubles([-1e300]), 2))
# BIN_LEVEL puts 4096 x operand / 14 on one bin: level operand / 28 of 8, operand / 14 of 16.
write("meter_tick", "steady_levels",
      b"".join(tick(PEAK, BIN_LEVEL, struct.pack("<HB", 3, 28 * level + 14), 4) for level in range(0, 9, 2))
      + b"".join(tick(PEAK | SIXTEEN, BIN_LEVEL, struct.pack("<HB", 3, 14 * level + 7), 4) for level in range(16, -1, -3)))
write("meter_tick", "option_flicker",
      tick(PEAK | SIXTEEN, BIN_LEVEL, struct.pack("<HB", 100, 200)) + b"".join(
          bytes([options]) for options in [0, 1, 2, 3, 2, 1, 0, 3, 3, 0, 2, 2] * 8))
write("meter_tick", "run_of_bins",
      tick(PEAK, RUN_RAW, struct.pack("<HB", 1000, 200) + doubles([70000.0]), 5)
      + tick(PEAK | SIXTEEN, RUN_RAW, struct.pack("<HB", 1020, 255) + doubles([-5e4]), 5))


# Command-line options: the arguments part of the command line, as given.
for name, text in [
        ("empty", b""),
        ("peak", b"-peak"),
        ("sixteen", b"-16bit"),
        ("both", b"-peak -16bit"),
        ("both_reversed", b"-16bit -peak"),
        ("peak_with_more_letters", b"-peakish"),
        ("capitals", b"-PEAK -16BIT"),
        ("quoted_path_and_peak", b'"C:\\Program Files\\Sonabar\\sonabar.exe" -peak'),
        ("run_together", b"--16bit-peak"),
        ("almost", b"-pea -16bi -peA -16Bit"),
        ("nul_inside", b"-pe\x00ak -16bit"),
        ("high_bytes", b"\xff\xfe-peak\x80-16bit\xc3\xa9")]:
    write("options", name, text)

# The same inputs split at each NUL are the Linux edition's argv.
for name, arguments in [
        ("argv_options", [b"-peak", b"-16bit"]),
        ("argv_device_and_port", [b"-device=hw:1", b"-peak", b"-port=/dev/parport1"]),
        ("argv_option_words_in_values", [b"-device=hw:1-peak", b"-port=/tmp/x-16bit/parport0"]),
        ("argv_repeated_extras", [b"-port=/dev/parport0", b"-port=/dev/parport1", b"-device=a", b"-device=b"]),
        ("argv_empty_device", [b"-peak", b"-device=", b"-port=/dev/parport0"]),
        ("argv_empty_port", [b"-port="]),
        ("argv_help_version", [b"--help", b"-16bit", b"--version"]),
        ("argv_near_misses", [b"x-device=foo", b"--helpme", b"-Port=/x", b"-device", b"--version="]),
        ("argv_empty_arguments", [b"", b"-peak", b"", b""]),
        ("argv_option_split_across", [b"-pe", b"ak", b"-16", b"bit"]),
        ("argv_joined_by_space", [b"-peak-", b"16bit -", b"peak"]),
        ("argv_preview_latches", [b"a", b"-preview=edge", b"-16bit", b"-preview"]),
        ("argv_preview_bad_latch", [b"-preview=Edge", b"-peak"]),
        ("argv_preview_empty_latch", [b"a:", b"-preview=" + b"\x00" * 41 + b"kak"]),
        ("argv_gnu_spellings", [b"--peak", b"--16bit", b"--device=hw:1", b"--port=/p", b"--preview=edge", b"-h"]),
        ("argv_single_dash_help", [b"-help", b"--h"]),
        ("argv_listen", [b"-listen=playing", b"--listen=input", b"-listen=playing"]),
        ("argv_listen_bad", [b"-listen=", b"-listen=Playing"]),
        ("argv_listen_playing_with_device", [b"-device=hw:1", b"-peak", b"--listen=playing"]),
        ("argv_gain_values", [b"-gain=+12", b"--gain=6.5", b"-gain=-20", b"-gain=40.000", b"-gain=auto"]),
        ("argv_gain_out_of_range", [b"-gain=40.0001"]),
        ("argv_gain_not_numbers", [b"-gain=1e9", b"-gain=nan", b"-gain= 6", b"-gain=+1+2", b"-gain=6."]),
        ("argv_flag_with_value", [b"-peak=1"]),
        ("argv_stray_and_dashes", [b"--", b"-", b"stray", b"---peak"])]:
    write("options", name, b"\x00".join(arguments))
