// The preview line: LED glyphs for lit and dark LEDs, coloured by zone on a
// terminal, with a short caption. Written into a caller's buffer, so drawing
// allocates nothing.
#include "preview/preview_line.h"

#include <cstring>

namespace {

constexpr const char* ESC_GREEN = "\x1b[1;32m";
constexpr const char* ESC_YELLOW = "\x1b[1;33m";
constexpr const char* ESC_RED = "\x1b[1;31m";
constexpr const char* ESC_DARK = "\x1b[90m";
constexpr const char* ESC_RESET = "\x1b[0m";
constexpr const char* ESC_ERASE_TO_END = "\x1b[K";

struct LineBuffer {
    char* out;
    size_t size;
    size_t length;
};

void line_put(LineBuffer* line, const char* text) {
    size_t count = std::strlen(text);
    if (line->length + count >= line->size) count = line->size - 1 - line->length;
    std::memcpy(line->out + line->length, text, count);
    line->length += count;
    line->out[line->length] = '\0';
}

const char* zone_colour(PreviewZone zone) {
    switch (zone) {
        case PREVIEW_RED:
            return ESC_RED;
        case PREVIEW_YELLOW:
            return ESC_YELLOW;
        default:
            return ESC_GREEN;
    }
}

}  // namespace

PreviewZone preview_zone(int32_t led, int32_t led_count) {
    if (led > led_count - led_count / 8) return PREVIEW_RED;  // the top eighth
    if (led > led_count * 5 / 8) return PREVIEW_YELLOW;       // the next quarter
    return PREVIEW_GREEN;
}

size_t preview_line(char* out, size_t size, uint16_t leds, int32_t led_count, const char* caption,
                    PreviewStyle style) {
    if (size == 0) return 0;
    LineBuffer line{out, size, 0};
    out[0] = '\0';
    const char* lit = style.utf8 ? "\xe2\x97\x8f" : "#";   // U+25CF black circle
    const char* dark = style.utf8 ? "\xe2\x97\x8b" : ".";  // U+25CB white circle
    if (style.terminal) {
        line_put(&line, "\r");
    } else {
        line_put(&line, "|");
    }
    const char* colour = nullptr;  // the colour in force, to write each change once
    for (int32_t led = 1; led <= led_count; ++led) {
        bool on = (leds >> (led - 1)) & 1u;
        if (style.terminal) {
            const char* wanted = on ? zone_colour(preview_zone(led, led_count)) : ESC_DARK;
            if (wanted != colour) line_put(&line, wanted);
            colour = wanted;
        }
        line_put(&line, on ? lit : dark);
    }
    if (style.terminal) {
        line_put(&line, ESC_RESET);
        line_put(&line, " ");
    } else {
        line_put(&line, "| ");
    }
    if (caption != nullptr) line_put(&line, caption);
    line_put(&line, style.terminal ? ESC_ERASE_TO_END : "\n");
    return line.length;
}
