// The Linux edition's settings file, $XDG_CONFIG_HOME/sonabar/sonabar.conf
// (~/.config/sonabar/sonabar.conf when the variable is unset): read once at
// start-up to set where the tray's choices start, and written on the UI
// thread each time the user changes one of them. Every problem is told to
// the user in one line; nothing is said when all is well.
#pragma once
#include "app/settings.h"

// The settings the file holds, the defaults where it says nothing usable.
void settings_file_read(Settings* settings);
// Writes the new value of `key` (from `now`) into the file at once: the file
// is read afresh and that key alone changes.
void settings_file_keep(SettingKey key, const Settings& now);
