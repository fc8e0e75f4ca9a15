#!/usr/bin/python3
"""Renders an SVG to a PNG through GdkPixbuf (librsvg), for looking at the
drawn pictures: svg_to_png.py IN.svg OUT.png"""
import sys

import gi

gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf  # noqa: E402

GdkPixbuf.Pixbuf.new_from_file(sys.argv[1]).savev(sys.argv[2], "png", [], [])
