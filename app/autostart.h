// "Start at login" on Linux: the freedesktop autostart entry
// $XDG_CONFIG_HOME/autostart/sonabar.desktop, which the desktop starts at
// login unless it says Hidden=true. On the UI thread.
#pragma once

// The options of this run that the tray cannot set (-port=, -device=; null
// when not given), carried by an entry written from now on.
void autostart_use_options(const char* port, const char* device);
// Whether the entry exists and is not hidden.
bool autostart_on();
// Switches starting at login on or off; a failure is told in one line.
void autostart_switch(bool on);
