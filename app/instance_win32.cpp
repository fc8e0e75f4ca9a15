// The single running copy on Windows: a named mutex owned by the UI thread.
// The kernel creates a named object only once, and only one thread can own a
// mutex, so of two copies starting at the same moment exactly one wins. The
// system releases the mutex when its owner ends, in order or by a crash; a
// mutex whose owner ended without releasing it is abandoned, and the next
// start takes it over like a free one.
//
// The name lives in the global namespace, so that a copy in another user's
// session (fast user switching), which would drive the same port, counts too;
// a mutex made there is not ours to open, and that refusal means it is taken.
// Where the prefix is refused (Windows before 2000 may), the plain name serves.
#include "app/instance.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "app/app.h"

namespace {

constexpr const char* INSTANCE_NAME_GLOBAL = "Global\\Sonabar.Running";
constexpr const char* INSTANCE_NAME_PLAIN = "Sonabar.Running";

// The claim, kept open until the process ends.
HANDLE g_instance_mutex;

}  // namespace

int32_t instance_claim() {
    SetLastError(ERROR_SUCCESS);
    HANDLE mutex = CreateMutexA(nullptr, TRUE, INSTANCE_NAME_GLOBAL);
    if (mutex == nullptr && GetLastError() == ERROR_ACCESS_DENIED) return INSTANCE_ALREADY_RUNNING;
    if (mutex == nullptr) {
        SetLastError(ERROR_SUCCESS);
        mutex = CreateMutexA(nullptr, TRUE, INSTANCE_NAME_PLAIN);
    }
    // Without any mutex nothing can tell: running beats refusing to run.
    if (mutex == nullptr) return INSTANCE_FIRST;

    // Made anew: this thread owns it. Made before: the initial ownership was
    // not granted; owning it now means the previous owner has ended.
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        DWORD waited = WaitForSingleObject(mutex, 0);
        if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
            CloseHandle(mutex);
            return INSTANCE_ALREADY_RUNNING;
        }
    }
    g_instance_mutex = mutex;
    return INSTANCE_FIRST;
}

void instance_tell_running(const char* text) { MessageBoxA(nullptr, text, APP_TITLE, MB_ICONINFORMATION); }
