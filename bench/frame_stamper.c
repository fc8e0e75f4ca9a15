/* Reads the peer's raw output (frames of little-endian unsigned 16-bit bars,
   FRAME_BYTES each, written in pieces of any size) from a FIFO and writes
   down, for every frame, when its last byte was read (monotonic clock) and
   its largest bar, for the latency comparison of scripts/measure. Ends when
   the writer closes the FIFO.

   Usage: frame_stamper FIFO FRAME_BYTES LOG
   Log lines: "SECONDS LARGEST_BAR". */
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

enum { MAX_FRAME = 1 << 16 };

static double now_seconds(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

int main(int argc, char **argv) {
    long frame_bytes = argc == 4 ? strtol(argv[2], NULL, 10) : 0;
    if (frame_bytes < 2 || frame_bytes > MAX_FRAME || frame_bytes % 2 != 0) {
        fprintf(stderr, "usage: frame_stamper FIFO FRAME_BYTES LOG (FRAME_BYTES even, 2..%d)\n", MAX_FRAME);
        return 2;
    }
    int fifo = open(argv[1], O_RDONLY);
    if (fifo < 0) {
        perror(argv[1]);
        return 1;
    }
    FILE *log = fopen(argv[3], "w");
    if (log == NULL) {
        perror(argv[3]);
        return 1;
    }
    static unsigned char frame[MAX_FRAME];
    long filled = 0;
    unsigned char piece[4096];
    for (;;) {
        ssize_t got = read(fifo, piece, sizeof piece);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        double when = now_seconds();
        for (ssize_t i = 0; i < got; ++i) {
            frame[filled++] = piece[i];
            if (filled < frame_bytes) continue;
            unsigned largest = 0;
            for (long b = 0; b < frame_bytes; b += 2) {
                unsigned bar = frame[b] | (unsigned)frame[b + 1] << 8;
                if (bar > largest) largest = bar;
            }
            fprintf(log, "%.6f %u\n", when, largest);
            filled = 0;
        }
    }
    fclose(log);
    close(fifo);
    return 0;
}
