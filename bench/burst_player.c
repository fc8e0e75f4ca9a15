/* Plays tone bursts at random moments through ALSA's default device (which
   reaches the audio server) and writes down, on the monotonic clock, when
   each burst's first sample was handed to the server, for the latency
   measurement. Between bursts it plays silence, so the stream runs without a
   gap; each burst is a full-scale 1,000 Hz tone of 200 ms, the gaps are
   drawn at random (fixed seed) so that the onsets fall at random phases of
   the meter's blocks and ticks.

   Usage: burst_player COUNT LOG [MIN_GAP_S MAX_GAP_S [LATENCY_MS]]
   LATENCY_MS is the playback buffer asked for (default 200, as a music
   player's: a small one would make the server run a small quantum).
   Log lines: "onset N HANDOFF DELAY_S", HANDOFF when the write holding the
   onset returned (monotonic seconds), DELAY_S the time the server reported
   it still had queued before the onset (snd_pcm_delay after that write). */
#include <alsa/asoundlib.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

enum { RATE = 44100, CHUNK = 256, BURST = RATE / 5 };

static double now_seconds(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

int main(int argc, char **argv) {
    if (argc < 3 || argc == 4 || argc > 6) {
        fprintf(stderr, "usage: burst_player COUNT LOG [MIN_GAP_S MAX_GAP_S [LATENCY_MS]]\n");
        return 2;
    }
    int count = atoi(argv[1]);
    double min_gap = argc >= 5 ? atof(argv[3]) : 1.3, max_gap = argc >= 5 ? atof(argv[4]) : 1.8;
    unsigned latency_us = argc == 6 ? (unsigned)atoi(argv[5]) * 1000u : 200000u;
    FILE *log = fopen(argv[2], "w");
    if (log == NULL) {
        perror(argv[2]);
        return 1;
    }
    snd_pcm_t *pcm;
    int error = snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0);
    if (error == 0) error = snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, RATE, 1, latency_us);
    if (error != 0) {
        fprintf(stderr, "burst_player: %s\n", snd_strerror(error));
        return 1;
    }
    srand48(7);
    int16_t chunk[CHUNK];
    long sample = 0;
    long onset = (long)(1.0 * RATE);  /* a second of silence first */
    int played = 0;
    while (played < count || sample < onset + BURST + RATE) {
        int onset_here = -1;
        for (int i = 0; i < CHUNK; ++i, ++sample) {
            long into = sample - onset;
            chunk[i] = 0;
            if (played < count && into >= 0 && into < BURST) {
                chunk[i] = (int16_t)lrint(32000.0 * sin(2.0 * M_PI * 1000.0 * into / RATE));
                if (into == 0) onset_here = i;
            }
            if (played < count && into == BURST - 1) {
                ++played;
                onset += BURST + (long)((min_gap + drand48() * (max_gap - min_gap)) * RATE);
            }
        }
        snd_pcm_sframes_t written = snd_pcm_writei(pcm, chunk, CHUNK);
        if (written < 0) written = snd_pcm_recover(pcm, (int)written, 1);
        if (onset_here >= 0) {
            double handoff = now_seconds();
            snd_pcm_sframes_t delay = 0;
            snd_pcm_delay(pcm, &delay);
            fprintf(log, "onset %d %.6f %.6f\n", played, handoff, (double)(delay - (CHUNK - onset_here)) / RATE);
            fflush(log);
        }
    }
    snd_pcm_drain(pcm);
    snd_pcm_close(pcm);
    fclose(log);
    return 0;
}
