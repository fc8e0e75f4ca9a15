/* The reference for Sonabar's CPU cost: a program that does nothing but wake
   up as often as Sonabar's work needs, 121.5 times a second: one thread every
   10 ms (the ticks) and one every 2,048/44,100 s (the blocks, 21.5 a second),
   each sleeping to absolute deadlines on the monotonic clock. Runs until it
   is ended by a signal. */
#include <pthread.h>
#include <time.h>

static void *wake(void *period_ns) {
    long long period = *(long long *)period_ns;
    struct timespec at;
    clock_gettime(CLOCK_MONOTONIC, &at);
    for (;;) {
        long long next = at.tv_nsec + period;
        at.tv_sec += next / 1000000000LL;
        at.tv_nsec = next % 1000000000LL;
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, NULL);
    }
    return NULL;
}

int main(void) {
    static long long tick = 10000000LL, block = 2048LL * 1000000000LL / 44100;
    pthread_t thread;
    pthread_create(&thread, NULL, wake, &block);
    wake(&tick);
    return 0;
}
