// The end-to-end test's hand on the running program under Wine. Each call does
// one step and exits 0 when what it saw is right, 1 (with the reason) when not,
// so that the driving script can take screenshots between the steps:
//   window                       wait for the hidden window
//   ready                        wait until start-up has finished and the
//                                message loop runs (opens and closes the menu)
//   tray-icon                    wait for the one icon in Wine's tray window
//                                and print the screen point at its centre
//   tray-empty                   wait until Wine's tray shows no icon
//   menu post|wait ITEM...       open the tray menu by posting the tray's
//                                right-click (post) or wait for one (wait), and
//                                check its items, given as COMMAND:MARK:TEXT
//                                (MARK 0 none, 1 a check, 2 a radio mark; a
//                                submenu's line has COMMAND 0, and its items
//                                follow as SUBMENU>COMMAND:MARK:TEXT)
//   close-menu                   Escape closes the open menu
//   no-menu                      no menu opens within a second
//   command ID                   post the menu command ID
//   about-open                   open the About box, check its text and that
//                                Cancel, Escape and the close box leave it open
//   about-ok                     OK closes the About box
//   close-window                 close the hidden window (a quit request)
//   error-box TEXT               wait for the start-up failure message (a box
//                                captioned "Sonabar", owned by the hidden
//                                window, with an icon, TEXT and one button),
//                                print its text and close it with OK
//   no-error-box                 no failure message is shown
//   notice-box TEXT              the same for the message of a second copy of
//                                the program, or of a start refused before
//                                its hidden window exists: a box captioned
//                                "Sonabar" of another process, owned by no window
//   tray-forget                  make the tray drop the program's icon, as a
//                                restarted tray host knows none of the icons
//                                of before, and wait until the tray is empty
//   taskbar-created              broadcast the "TaskbarCreated" message, as a
//                                new taskbar does
//   gone                         wait until the hidden window has gone
// Every wait has a time limit.
#include <windows.h>
#include <shellapi.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "probe.h"

namespace {

constexpr UINT TRAY_CALLBACK_MESSAGE = WM_USER + 1;
constexpr UINT TRAY_ICON_ID = 1026;
constexpr UINT MENU_ABOUT = 40008;

HWND g_program;          // the program's hidden window
DWORD g_program_thread;  // its UI thread

int fail(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::printf("FAIL: ");
    std::vprintf(format, arguments);
    std::printf("\n");
    va_end(arguments);
    std::fflush(stdout);
    return 1;
}

void say(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    std::printf("\n");
    va_end(arguments);
    std::fflush(stdout);
}

// Polls `found` every 50 ms for up to `limit_ms`; returns its last answer.
template <typename Find>
HWND wait_for(Find found, DWORD limit_ms) {
    DWORD start = GetTickCount();
    for (;;) {
        HWND window = found();
        if (window != nullptr || GetTickCount() - start >= limit_ms) return window;
        Sleep(50);
    }
}

HWND find_program() { return FindWindowA("sonabar", "Sonabar"); }

bool attach() {
    g_program = find_program();
    if (g_program == nullptr) return false;
    g_program_thread = GetWindowThreadProcessId(g_program, nullptr);
    return true;
}

// A visible top-level window of the program's UI thread with this class (and title).
HWND find_own(const char* window_class, const char* title) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, window_class, title)) != nullptr) {
        if (GetWindowThreadProcessId(window, nullptr) == g_program_thread && IsWindowVisible(window))
            return window;
    }
    return nullptr;
}

// Wine's stand-alone tray window (shown while it holds icons) and its icons,
// one child window each.
HWND find_tray_icon(int* count) {
    *count = 0;
    HWND tray = FindWindowA("__winex11_standalone_tray", nullptr);
    if (tray == nullptr || !IsWindowVisible(tray)) return nullptr;
    HWND first = nullptr;
    HWND icon = nullptr;
    while ((icon = FindWindowExA(tray, icon, "__winex11_tray_icon", nullptr)) != nullptr) {
        if (!IsWindowVisible(icon)) continue;
        if (first == nullptr) first = icon;
        ++*count;
    }
    return first;
}

int step_tray_icon() {
    int count = 0;
    HWND icon = wait_for([&count] { return find_tray_icon(&count); }, 10000);
    if (icon == nullptr) return fail("no icon in the tray");
    if (count != 1) return fail("%d icons in the tray", count);
    RECT rect;
    GetWindowRect(icon, &rect);
    std::printf("%ld %ld\n", (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    std::fflush(stdout);
    return 0;
}

int step_tray_empty() {
    int count = 0;
    if (wait_for([&count] { return find_tray_icon(&count) == nullptr ? GetDesktopWindow() : nullptr; },
                 10000) == nullptr)
        return fail("the tray still shows %d icon(s)", count);
    say("tray empty");
    return 0;
}

HWND find_menu() { return find_own("#32768", nullptr); }
HWND find_about() { return find_own("#32770", "About"); }
HWND find_error_box() { return find_own("#32770", "Sonabar"); }

// A visible message box captioned "Sonabar" of a process other than the program's.
HWND find_notice_box() {
    DWORD program_process = 0;
    GetWindowThreadProcessId(g_program, &program_process);
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, "#32770", "Sonabar")) != nullptr) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process != program_process && IsWindowVisible(window)) return window;
    }
    return nullptr;
}

// Reads the open popup's items from inside the program through the probe hook.
bool probe_menu(HWND popup, char* report, size_t size) {
    char library_path[MAX_PATH];
    GetModuleFileNameA(nullptr, library_path, sizeof library_path);
    char* slash = std::strrchr(library_path, '\\');
    std::snprintf(slash + 1, sizeof library_path - (slash + 1 - library_path), "tray_probe.dll");
    HMODULE library = LoadLibraryA(library_path);
    if (library == nullptr) return false;
    // Through void*: the exported address is the hook procedure itself.
    HOOKPROC hook_proc = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(GetProcAddress(library, "probe_hook")));
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, hook_proc, library, g_program_thread);
    if (hook == nullptr) return false;

    char path[MAX_PATH];
    probe_report_path(path, sizeof path);
    DeleteFileA(path);
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(popup, probe_message(), 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    UnhookWindowsHookEx(hook);

    FILE* file = std::fopen(path, "r");
    if (file == nullptr) return false;
    size_t length = std::fread(report, 1, size - 1, file);
    report[length] = '\0';
    std::fclose(file);
    return true;
}

int step_menu(int count, char** items, bool post) {
    if (post && find_menu() != nullptr) return fail("a menu is open already");
    if (post) PostMessageA(g_program, TRAY_CALLBACK_MESSAGE, TRAY_ICON_ID, WM_RBUTTONUP);
    HWND popup = wait_for(find_menu, 5000);
    if (popup == nullptr) return fail("no popup menu appeared");

    // Flags 0: the menu's top-left corner is at the cursor (it fits on screen here).
    POINT cursor;
    RECT rect;
    GetCursorPos(&cursor);
    GetWindowRect(popup, &rect);
    if (rect.left != cursor.x || rect.top != cursor.y)
        return fail("menu at (%ld,%ld), cursor at (%ld,%ld)", rect.left, rect.top, cursor.x, cursor.y);

    char report[1024];
    if (!probe_menu(popup, report, sizeof report)) return fail("the probe could not read the menu");
    char expected[1024] = "";
    for (int i = 0; i < count; ++i) {
        char line[128];
        unsigned command = 0;
        int mark = 0;
        char text[64] = "";
        const char* submenu_end = std::strchr(items[i], '>');
        const int prefix = submenu_end != nullptr ? static_cast<int>(submenu_end + 1 - items[i]) : 0;
        if (std::sscanf(items[i] + prefix, "%u:%d:%63[^\n]", &command, &mark, text) != 3)
            return fail("bad item argument %s", items[i]);
        std::snprintf(line, sizeof line, "%.*s%u %d %s\n", prefix, items[i], command, mark, text);
        std::strncat(expected, line, sizeof expected - std::strlen(expected) - 1);
    }
    if (std::strcmp(report, expected) != 0)
        return fail("menu items\n%s-- expected --\n%s", report, expected);
    say("menu at the cursor (%ld,%ld), %d items:\n%s", cursor.x, cursor.y, count, report);
    return 0;
}

int step_close_menu() {
    HWND popup = find_menu();
    if (popup == nullptr) return fail("no menu is open");
    PostMessageA(popup, WM_KEYDOWN, VK_ESCAPE, 0);
    if (wait_for([] { return find_menu() == nullptr ? g_program : nullptr; }, 5000) == nullptr)
        return fail("Escape did not close the menu");
    say("menu closed");
    return 0;
}

int step_no_menu() {
    if (wait_for(find_menu, 1000) != nullptr) return fail("a menu opened");
    say("no menu");
    return 0;
}

// The About box's static text, line by line: title, empty, updates, empty, two credits.
int check_about_text(HWND about) {
    char text[512] = "";
    for (HWND child = GetWindow(about, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        char window_class[32] = "";
        GetClassNameA(child, window_class, sizeof window_class);
        LONG style = GetWindowLongA(child, GWL_STYLE);
        if (lstrcmpiA(window_class, "Static") == 0 && (style & SS_TYPEMASK) == SS_LEFT) {
            DWORD_PTR length = 0;
            SendMessageTimeoutA(child, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                                SMTO_ABORTIFHUNG, 5000, &length);
        }
    }
    char lines[8][128] = {};
    int count = 0;
    for (const char* p = text; count < 8;) {
        const char* end = std::strchr(p, '\n');
        size_t length = end != nullptr ? static_cast<size_t>(end - p) : std::strlen(p);
        if (length >= sizeof lines[0]) length = sizeof lines[0] - 1;
        std::memcpy(lines[count++], p, length);
        if (end == nullptr) break;
        p = end + 1;
    }
    bool right = count == 6 && std::strcmp(lines[0], "Sonabar") == 0 && lines[1][0] == '\0' &&
                 std::strstr(lines[2], "updates") != nullptr && lines[3][0] == '\0' &&
                 std::strstr(lines[4], "driver") != nullptr && std::strstr(lines[5], "FFT") != nullptr;
    if (!right) return fail("About text:\n%s", text);
    say("About text:\n%s", text);
    return 0;
}

int step_about_open() {
    if (find_about() != nullptr) return fail("an About box is open already");
    PostMessageA(g_program, WM_COMMAND, MENU_ABOUT, 0);
    HWND about = wait_for(find_about, 5000);
    if (about == nullptr) return fail("no About box appeared");
    if (GetWindow(about, GW_OWNER) != g_program) return fail("the About box is not owned by the hidden window");
    if (check_about_text(about) != 0) return 1;

    // Cancel, the close box (which sends Cancel) and Escape are consumed.
    struct Attempt {
        const char* name;
        UINT message;
        WPARAM wparam;
    } attempts[] = {{"Cancel", WM_COMMAND, IDCANCEL}, {"the close box", WM_CLOSE, 0}, {"Escape", WM_KEYDOWN, VK_ESCAPE}};
    for (const Attempt& attempt : attempts) {
        HWND target = attempt.message == WM_KEYDOWN ? GetDlgItem(about, IDOK) : about;
        PostMessageA(target, attempt.message, attempt.wparam, 0);
        Sleep(400);
        if (find_about() != about) return fail("%s closed the About box", attempt.name);
        say("%s leaves the About box open", attempt.name);
    }
    // A second About command while the box is open opens no second box.
    PostMessageA(g_program, WM_COMMAND, MENU_ABOUT, 0);
    Sleep(400);
    HWND other = nullptr;
    while ((other = FindWindowExA(nullptr, other, "#32770", "About")) != nullptr) {
        if (other != about && GetWindowThreadProcessId(other, nullptr) == g_program_thread)
            return fail("a second About box opened");
    }
    say("About again while open: still one box");
    return 0;
}

int step_about_ok() {
    HWND about = find_about();
    if (about == nullptr) return fail("no About box is open");
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    if (wait_for([] { return find_about() == nullptr ? g_program : nullptr; }, 5000) == nullptr)
        return fail("OK did not close the About box");
    say("OK closed the About box");
    return 0;
}

// A message box of the program: TEXT, an icon and OK alone; OK closes it.
// `find` finds it again, `owner` is the window that must own it.
int check_message_box(HWND (*find)(), HWND owner, const char* expected) {
    HWND box = wait_for(find, 20000);
    if (box == nullptr) return fail("no message box captioned Sonabar appeared");
    if (GetWindow(box, GW_OWNER) != owner)
        return fail(owner != nullptr ? "the message box is not owned by the hidden window"
                                     : "the message box has an owner");

    // The box's visible controls: its text, its icon and its buttons.
    char text[512] = "";
    bool icon = false;
    int buttons = 0;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) continue;
        char window_class[32] = "";
        GetClassNameA(child, window_class, sizeof window_class);
        if (lstrcmpiA(window_class, "Button") == 0) {
            ++buttons;
        } else if (lstrcmpiA(window_class, "Static") == 0) {
            DWORD_PTR answer = 0;
            if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
                SendMessageTimeoutA(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
                icon = icon || answer != 0;
            } else if (text[0] == '\0') {
                SendMessageTimeoutA(child, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                                    SMTO_ABORTIFHUNG, 5000, &answer);
            }
        }
    }
    if (std::strcmp(text, expected) != 0) return fail("message box text \"%s\", expected \"%s\"", text, expected);
    if (!icon) return fail("the message box shows no icon");
    HWND ok = GetDlgItem(box, IDOK);
    if (buttons != 1 || ok == nullptr || !IsWindowVisible(ok)) return fail("the message box has %d buttons, not OK alone", buttons);
    say("message box \"Sonabar\" with an icon: %s", text);

    PostMessageA(box, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(ok));
    if (wait_for([find] { return find() == nullptr ? GetDesktopWindow() : nullptr; }, 5000) == nullptr)
        return fail("OK did not close the message box");
    say("OK closed the message box");
    return 0;
}

// Wine's tray cannot be restarted while programs run on its desktop (the
// desktop window outlives the process that hosts the tray, and a new host is
// refused), so the test takes the program's icon out of the tray instead:
// the tray then knows no icon of the program, as a new host would.
int step_tray_forget() {
    NOTIFYICONDATAA icon = {};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = g_program;
    icon.uID = TRAY_ICON_ID;
    if (!Shell_NotifyIconA(NIM_DELETE, &icon)) return fail("the tray did not drop the icon");
    int count = 0;
    if (wait_for([&count] { return find_tray_icon(&count) == nullptr ? GetDesktopWindow() : nullptr; }, 10000) ==
        nullptr)
        return fail("the tray still shows %d icon(s)", count);
    say("the tray has dropped the icon");
    return 0;
}

int step_taskbar_created() {
    if (!PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0))
        return fail("cannot broadcast \"TaskbarCreated\"");
    say("\"TaskbarCreated\" broadcast");
    return 0;
}

// Start-up is over, with its port writes (which may wait for the driver), once
// the message loop runs: only there is a posted message fetched. Posts the
// tray's right-click, waits for the menu and closes it again. A sent message
// proves nothing (start-up's own calls answer those), and the tray drops the
// clicks on its icon while the program is busy.
int step_ready() {
    if (find_menu() != nullptr) return fail("a menu is open already");
    DWORD start = GetTickCount();
    PostMessageA(g_program, TRAY_CALLBACK_MESSAGE, TRAY_ICON_ID, WM_RBUTTONUP);
    HWND popup = wait_for(find_menu, 30000);
    if (popup == nullptr) return fail("the program did not open its menu within 30 s");
    DWORD waited = GetTickCount() - start;
    PostMessageA(popup, WM_KEYDOWN, VK_ESCAPE, 0);
    if (wait_for([] { return find_menu() == nullptr ? g_program : nullptr; }, 5000) == nullptr)
        return fail("Escape did not close the menu");
    say("the message loop runs (menu after %lu ms)", static_cast<unsigned long>(waited));
    return 0;
}

int step_no_error_box() {
    if (find_error_box() != nullptr) return fail("a message box captioned Sonabar is shown");
    say("no failure message");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return fail("usage: tray_client STEP [ARGUMENTS]");
    const char* step = argv[1];
    if (std::strcmp(step, "window") == 0) {
        if (wait_for(find_program, 20000) == nullptr) return fail("the hidden window did not appear");
        say("hidden window found");
        return 0;
    }
    if (std::strcmp(step, "tray-icon") == 0) return step_tray_icon();
    if (std::strcmp(step, "tray-empty") == 0) return step_tray_empty();
    if (std::strcmp(step, "gone") == 0) {
        if (wait_for([] { return find_program() == nullptr ? GetDesktopWindow() : nullptr; }, 10000) == nullptr)
            return fail("the hidden window is still there");
        say("hidden window gone");
        return 0;
    }
    if (std::strcmp(step, "notice-box") == 0 && argc == 3) {
        attach();  // a refused start has no hidden window
        return check_message_box(find_notice_box, nullptr, argv[2]);
    }
    if (!attach()) return fail("the program's hidden window is not there");
    if (std::strcmp(step, "menu") == 0 && argc >= 3)
        return step_menu(argc - 3, argv + 3, std::strcmp(argv[2], "post") == 0);
    if (std::strcmp(step, "close-menu") == 0) return step_close_menu();
    if (std::strcmp(step, "no-menu") == 0) return step_no_menu();
    if (std::strcmp(step, "command") == 0 && argc == 3) {
        PostMessageA(g_program, WM_COMMAND, std::strtoul(argv[2], nullptr, 10), 0);
        Sleep(100);
        return 0;
    }
    if (std::strcmp(step, "about-open") == 0) return step_about_open();
    if (std::strcmp(step, "about-ok") == 0) return step_about_ok();
    if (std::strcmp(step, "ready") == 0) return step_ready();
    if (std::strcmp(step, "error-box") == 0 && argc == 3) return check_message_box(find_error_box, g_program, argv[2]);
    if (std::strcmp(step, "tray-forget") == 0) return step_tray_forget();
    if (std::strcmp(step, "taskbar-created") == 0) return step_taskbar_created();
    if (std::strcmp(step, "no-error-box") == 0) return step_no_error_box();
    if (std::strcmp(step, "close-window") == 0) {
        PostMessageA(g_program, WM_CLOSE, 0, 0);
        return 0;
    }
    return fail("unknown step %s", step);
}
