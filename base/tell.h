// Lines for the user on stderr while the program runs ("sonabar: ..."),
// from any thread. Each line is written whole by one system call, so lines
// told by several threads never mix, nor do they break into the terminal
// preview's line: while the preview redraws its line in place on the terminal
// that stderr also goes to, a told line first clears it, takes its place, and
// the preview draws the LEDs again on the line below. Nothing is allocated.
#pragma once

// Tells one line (the newline is added), formatted as printf does.
void tell(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The preview: lines clear the line it draws in place (or no longer do).
void tell_clear_preview_line(bool clear);
// The preview: true, once, after a line was told over its drawing.
bool tell_took_preview_line();
