// The desktop shell the program lives in: a hidden window (or its equivalent)
// that carries tray notifications and menu commands to the UI thread, the tray
// icon, its menu with two check items, the About box, the start-up failure
// message and the message loop. One implementation per platform (Win32;
// GTK with a StatusNotifier item on Linux); the tests record the calls.
#pragma once
#include <cstdint>

constexpr uint32_t MENU_UNCHECKED = 0;
constexpr uint32_t MENU_CHECKED = 8;  // the checked state, and nothing else

// Registers the window class and creates the hidden window; results ignored.
void shell_create_window();
// Shows the start-up failure `text` (with `detail` on a second line when not
// null) and returns when the user has seen it.
void shell_error_box(const char* text, const char* detail);
// Adds or removes the tray icon; results ignored.
void shell_tray_add();
void shell_tray_remove();
// Loads the tray menu; 0 on success.
int shell_menu_load();
void shell_menu_destroy();
// The state of a menu item found by its command identifier (MENU_CHECKED or 0).
uint32_t shell_menu_state(uint32_t command);
void shell_menu_set_state(uint32_t command, uint32_t state);
// Runs the About box modally; returns when it is closed.
void shell_run_about();
// Asks the message loop to end with `code`; callable on the UI thread.
void shell_post_quit(int code);
// Runs the message loop until a quit request; returns the quit value.
int shell_message_loop();
