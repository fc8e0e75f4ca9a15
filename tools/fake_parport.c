/* A stand-in for a parallel-port device node, served through FUSE, for the
   integration tests of the Linux edition, the demo's --port-log and the
   measurements. It offers one file, "parport0",
   whose ioctl answers the kernel's parallel-port requests (claim, release,
   data and control writes, mode) and logs every request to a log file, one
   line each: "<monotonic seconds> <request> <value>". Options make it refuse
   the claim (port busy), hold the claim until the caller gives up (another
   program holds the port), fail every write after a number of them (I/O
   error) or vanish after a number of them (no such device). With
   --exclusive it models the kernel's ownership of a port opened more than
   once: each open is a handle (logged as the value of open, claim, release
   and close), a claim waits while another handle holds the port, until that
   one releases it or the caller is interrupted, and a write from a handle
   that does not hold the port is refused and logged as "unclaimed".

   Usage: fake_parport MOUNTPOINT --log=FILE [--claim-busy] [--claim-block] [--exclusive]
                       [--fail-after=N] [--vanish-after=N] [--mode=OCTAL] [FUSE options]
   Run it single-threaded (-s) so that the log keeps the order of the writes;
   --claim-block and --exclusive need it multi-threaded, to take the
   caller's interrupt (the log is written under a lock, in handling order). */
#define FUSE_USE_VERSION 35
#include <errno.h>
#include <fuse.h>
#include <pthread.h>
#include <signal.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static const char *NODE = "/parport0";

struct Options {
    const char *log;
    int claim_busy;
    int claim_block;
    int exclusive;
    int fail_after;   /* writes that succeed before every further one fails; -1: never */
    int vanish_after; /* writes before the node disappears; -1: never */
    int mode;
};

static struct Options options = {NULL, 0, 0, 0, -1, -1, 0660};
static FILE *log_file;
static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER; /* the state below and the log */
static uint64_t owner;        /* the handle holding the port, 0 when free */
static uint64_t last_handle;
static int writes;
static int vanished;

#define OPTION(text, field, value) {text, offsetof(struct Options, field), value}
static const struct fuse_opt option_table[] = {
    OPTION("--log=%s", log, 0),
    OPTION("--claim-busy", claim_busy, 1),
    OPTION("--claim-block", claim_block, 1),
    OPTION("--exclusive", exclusive, 1),
    OPTION("--fail-after=%d", fail_after, 0),
    OPTION("--vanish-after=%d", vanish_after, 0),
    OPTION("--mode=%o", mode, 0),
    FUSE_OPT_END,
};

static void log_event(const char *what, long value) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    fprintf(log_file, "%ld.%09ld %s %ld\n", (long)now.tv_sec, now.tv_nsec, what, value);
    fflush(log_file);
}

/* The library signals a handler thread (SIGUSR1) when its caller is
   interrupted; the signal only has to end the thread's sleep. */
static void fake_on_interrupt(int signal_number) { (void)signal_number; }

static void *fake_init(struct fuse_conn_info *connection, struct fuse_config *config) {
    (void)connection;
    config->intr = options.claim_block || options.exclusive; /* a waiting claim learns of the caller's signal */
    return NULL;
}

/* Waits as a claim on a port held elsewhere does, until the caller is interrupted. */
static int fake_blocked_claim(void) {
    log_event("claim-waiting", 0);
    pthread_mutex_unlock(&lock);
    for (int i = 0; i < 3000 && !fuse_interrupted(); ++i) usleep(10000);
    pthread_mutex_lock(&lock);
    log_event("claim-interrupted", 0);
    return -EINTR;
}

/* --exclusive: a claim while another handle holds the port waits for its
   release, or ends with EINTR when the caller is interrupted. */
static int fake_exclusive_claim(uint64_t handle) {
    if (owner != 0 && owner != handle) {
        log_event("claim-waiting", (long)handle);
        while (owner != 0 && owner != handle && !fuse_interrupted()) {
            pthread_mutex_unlock(&lock);
            usleep(10000);
            pthread_mutex_lock(&lock);
        }
        if (owner != 0 && owner != handle) {
            log_event("claim-interrupted", (long)handle);
            return -EINTR;
        }
    }
    owner = handle;
    log_event("claim", (long)handle);
    return 0;
}

static int fake_getattr(const char *path, struct stat *st, struct fuse_file_info *fi) {
    (void)fi;
    memset(st, 0, sizeof *st);
    if (strcmp(path, "/") == 0) {
        st->st_mode = S_IFDIR | 0755;
        st->st_nlink = 2;
        return 0;
    }
    if (strcmp(path, NODE) != 0 || vanished) return -ENOENT;
    st->st_mode = S_IFREG | (mode_t)options.mode;
    st->st_nlink = 1;
    return 0;
}

static int fake_readdir(const char *path, void *buffer, fuse_fill_dir_t fill, off_t offset,
                        struct fuse_file_info *fi, enum fuse_readdir_flags flags) {
    (void)offset;
    (void)fi;
    (void)flags;
    if (strcmp(path, "/") != 0) return -ENOENT;
    fill(buffer, ".", NULL, 0, 0);
    fill(buffer, "..", NULL, 0, 0);
    if (!vanished) fill(buffer, NODE + 1, NULL, 0, 0);
    return 0;
}

static int fake_open(const char *path, struct fuse_file_info *fi) {
    if (strcmp(path, NODE) != 0 || vanished) return -ENOENT;
    fi->direct_io = 1;
    fi->nonseekable = 1;
    pthread_mutex_lock(&lock);
    fi->fh = ++last_handle;
    log_event("open", options.exclusive ? (long)fi->fh : 0);
    pthread_mutex_unlock(&lock);
    return 0;
}

static int fake_release(const char *path, struct fuse_file_info *fi) {
    (void)path;
    pthread_mutex_lock(&lock);
    if (!options.exclusive || owner == fi->fh) owner = 0;
    log_event("close", options.exclusive ? (long)fi->fh : 0);
    pthread_mutex_unlock(&lock);
    return 0;
}

/* A register write: counted, and refused once the node fails or vanishes. */
static int fake_write(uint64_t handle, const char *what, long value) {
    if (vanished) return -ENODEV;
    if (owner == 0 || (options.exclusive && owner != handle)) {
        log_event("unclaimed", value);
        return -EINVAL;
    }
    if (options.vanish_after >= 0 && writes >= options.vanish_after) {
        vanished = 1;
        log_event("vanished", 0);
        return -ENODEV;
    }
    if (options.fail_after >= 0 && writes >= options.fail_after) {
        log_event("failed", value);
        return -EIO;
    }
    ++writes;
    log_event(what, value);
    return 0;
}

static int fake_request(unsigned int cmd, uint64_t handle, void *data);

static int fake_ioctl(const char *path, unsigned int cmd, void *arg, struct fuse_file_info *fi,
                      unsigned int flags, void *data) {
    (void)path;
    (void)arg;
    (void)flags;
    pthread_mutex_lock(&lock);
    int result = fake_request(cmd, fi->fh, data);
    pthread_mutex_unlock(&lock);
    return result;
}

/* One request, with the lock held. */
static int fake_request(unsigned int cmd, uint64_t handle, void *data) {
    switch (cmd) {
        case PPCLAIM:
            if (vanished) return -ENODEV;
            if (options.claim_block) return fake_blocked_claim();
            if (options.exclusive) return fake_exclusive_claim(handle);
            if (options.claim_busy) {
                log_event("claim-refused", 0);
                return -EBUSY;
            }
            owner = handle;
            log_event("claim", 0);
            return 0;
        case PPRELEASE:
            if (!options.exclusive || owner == handle) owner = 0;
            log_event("release", options.exclusive ? (long)handle : 0);
            return 0;
        case PPWDATA:
            return fake_write(handle, "data", *(unsigned char *)data);
        case PPWCONTROL:
            return fake_write(handle, "control", *(unsigned char *)data);
        case PPSETMODE:
            return fake_write(handle, "mode", *(int *)data);
        default:
            log_event("unknown-request", (long)cmd);
            return -ENOTTY;
    }
}

static const struct fuse_operations operations = {
    .init = fake_init,
    .getattr = fake_getattr,
    .open = fake_open,
    .release = fake_release,
    .readdir = fake_readdir,
    .ioctl = fake_ioctl,
};

int main(int argc, char *argv[]) {
    struct fuse_args args = FUSE_ARGS_INIT(argc, argv);
    if (fuse_opt_parse(&args, &options, option_table, NULL) != 0) return 1;
    if (options.log == NULL) {
        fprintf(stderr, "fake_parport: --log=FILE is required\n");
        return 1;
    }
    log_file = fopen(options.log, "a");
    if (log_file == NULL) {
        perror(options.log);
        return 1;
    }
    struct sigaction interrupt;
    memset(&interrupt, 0, sizeof interrupt);
    interrupt.sa_handler = fake_on_interrupt;
    sigaction(SIGUSR1, &interrupt, NULL);
    int result = fuse_main(args.argc, args.argv, &operations, NULL);
    fuse_opt_free_args(&args);
    fclose(log_file);
    return result;
}
