// The terminal preview's line: what the LEDs show, as one line of text. On a
// terminal the LEDs are coloured like a real bar (green, then yellow, red at
// the top) and the line starts with a carriage return and ends by erasing the
// rest of the row, so that each drawing replaces the last; elsewhere (a pipe,
// a file) it is plain text, one line per drawing. Pure: no I/O.
#pragma once
#include <cstddef>
#include <cstdint>

struct PreviewStyle {
    bool terminal;  // carriage return, ANSI colours, erase to the end of the row
    bool utf8;      // round LED glyphs instead of ASCII
};

// The colour zone of LED `led` (1-based) in a row of `led_count` LEDs.
enum PreviewZone : uint8_t { PREVIEW_GREEN, PREVIEW_YELLOW, PREVIEW_RED };
PreviewZone preview_zone(int32_t led, int32_t led_count);

// Writes the line for `leds` (bit 0 = LED 1) in a row of `led_count` LEDs (8
// or 16), with `caption` after the LEDs, into `out` (always terminated, cut
// short when `size` is too small). Returns the length written.
size_t preview_line(char* out, size_t size, uint16_t leds, int32_t led_count, const char* caption,
                    PreviewStyle style);
