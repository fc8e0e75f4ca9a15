// Providing the driver channel on Linux: open the ppdev device node and claim
// the port. Nothing is installed; when the node is missing, not accessible or
// held by another driver, start-up shows its failure message with the cause
// and the remedy kept here. The node is not required to be a character
// device, so that a device served by a user-space file system works as well.
//
// The claim waits for as long as another program holds the port (a second
// Sonabar, say); a timer signal aimed at this thread ends that wait after a
// while, and start-up reports the port as busy instead of hanging. A signal
// that asks the program to end (the only others it catches) cuts the wait
// short too: start-up then ends quietly, since nothing failed.
//
// A node the user may not open is explained by its group: joining the group
// that owns it helps only where that group may read and write it.
//
// With the terminal preview the port is optional: a failure is then told in
// one line and start-up goes on without a channel.
#include <fcntl.h>
#include <grp.h>
#include <linux/ppdev.h>
#include <sys/stat.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <cstdio>
#include <cstring>

#include "base/tell.h"
#include "port/port.h"
#include "port/port_linux.h"
#include "port/provision.h"

namespace {

const char* g_port_path = "/dev/parport0";
char g_failure_reason[512];
char g_failure_headline[512];
constexpr time_t CLAIM_PATIENCE_SECONDS = 2;
bool g_port_optional;

volatile sig_atomic_t g_claim_timed_out;

void driver_claim_alarm(int) { g_claim_timed_out = 1; }

// PPCLAIM, given up after CLAIM_PATIENCE_SECONDS with EBUSY.
int driver_claim(int fd) {
    g_claim_timed_out = 0;
    struct sigaction wake {};
    struct sigaction previous {};
    wake.sa_handler = driver_claim_alarm;  // without SA_RESTART: the waiting claim ends with EINTR
    sigemptyset(&wake.sa_mask);
    sigaction(SIGALRM, &wake, &previous);
    sigevent event{};
    event.sigev_notify = SIGEV_THREAD_ID;
    event.sigev_signo = SIGALRM;
    event._sigev_un._tid = gettid();  // the thread to signal (no portable field name in this glibc)
    timer_t timer;
    bool armed = timer_create(CLOCK_MONOTONIC, &event, &timer) == 0;
    if (armed) {
        itimerspec patience{};
        patience.it_value.tv_sec = CLAIM_PATIENCE_SECONDS;
        timer_settime(timer, 0, &patience, nullptr);
    }
    int result = ioctl(fd, PPCLAIM);
    int error = errno;
    if (armed) timer_delete(timer);
    sigaction(SIGALRM, &previous, nullptr);
    errno = result != 0 && error == EINTR && g_claim_timed_out ? EBUSY : error;
    return result;
}

// The remedy for a node the user may not open, after "permission denied. ".
void driver_describe_permission(const char* path, char* text, size_t size) {
    struct stat node {};
    const group* owner = nullptr;
    if (stat(path, &node) == 0 && node.st_gid != 0 && (node.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP)) {
        owner = getgrgid(node.st_gid);
    }
    if (owner != nullptr && owner->gr_name != nullptr && owner->gr_name[0] != '\0') {
        std::snprintf(text, size,
                      "It belongs to the %s group: join it (sudo usermod -aG %s $USER), then log in again.",
                      owner->gr_name, owner->gr_name);
        return;
    }
    std::snprintf(text, size,
                  "No group of users may read and write it: give it such a group (a udev rule can), join "
                  "that group, then log in again.");
}

// The failure of driver_open: fatal, unless the port is optional.
int32_t driver_fail() {
    if (!g_port_optional) return DRIVER_UNAVAILABLE;
    tell("sonabar: the preview runs without a port: %s", g_failure_reason);
    return DRIVER_OPENED;
}

}  // namespace

void port_set_optional(bool optional) { g_port_optional = optional; }

void port_set_device_path(const char* path) { g_port_path = path; }

void driver_describe_failure(const char* path, int error, bool claiming, char* text, size_t size) {
    switch (error) {
        case ENOENT:
        case ENXIO:
        case ENODEV:
            std::snprintf(text, size,
                          "%s: no such device. There is no parallel port, or the ppdev module is not "
                          "loaded (load it with: sudo modprobe ppdev).",
                          path);
            return;
        case EACCES:
        case EPERM: {
            char remedy[400];
            driver_describe_permission(path, remedy, sizeof remedy);
            std::snprintf(text, size, "%s: permission denied. %s", path, remedy);
            return;
        }
        case EBUSY:
            std::snprintf(text, size,
                          "%s: port busy. Another program holds it, such as a second Sonabar "
                          "or the printer driver lp (unload lp with: sudo modprobe -r lp).",
                          path);
            return;
        default:
            std::snprintf(text, size, "%s: cannot %s the port: %s.", path, claiming ? "claim" : "open",
                          std::strerror(error));
            return;
    }
}

int32_t driver_open() {
    g_driver_handle = DRIVER_INVALID_HANDLE;
    g_failure_reason[0] = '\0';
    std::snprintf(g_failure_headline, sizeof g_failure_headline, "sonabar: cannot use the parallel port %s",
                  g_port_path);
    // Non-blocking so that a path naming a FIFO cannot hang start-up; ppdev ignores the flag
    // for the requests used here.
    int fd = open(g_port_path, O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        driver_describe_failure(g_port_path, errno, false, g_failure_reason, sizeof g_failure_reason);
        return driver_fail();
    }
    if (driver_claim(fd) != 0) {
        int error = errno;
        close(fd);
        if (error == EINTR) return DRIVER_INTERRUPTED;
        driver_describe_failure(g_port_path, error, true, g_failure_reason, sizeof g_failure_reason);
        return driver_fail();
    }
    g_driver_handle = fd;
    return DRIVER_OPENED;
}

void driver_close() {
    int fd = static_cast<int>(g_driver_handle);
    if (fd < 0) return;
    ioctl(fd, PPRELEASE);
    close(fd);
    g_driver_handle = DRIVER_INVALID_HANDLE;
}

const char* driver_failure_reason() { return g_failure_reason[0] != '\0' ? g_failure_reason : nullptr; }

const char* driver_failure_headline() { return g_failure_reason[0] != '\0' ? g_failure_headline : nullptr; }
