// Runs one of the per-block or per-tick functions a given number of times, for
// instruction counting under callgrind (scripts/bench-instructions): two runs
// with different counts, collected only inside the function, give the exact
// cost of one call as the difference divided by the difference of the counts.
// The meter settings run at the fixed 0 dB gain; those ending in "_auto" run
// the automatic sensitivity instead.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/analysis.h"
#include "bench/bench_input.h"
#include "meter/gain.h"
#include "meter/meter.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr,
                     "usage: %s analyse_block|meter_8|meter_8_peak|meter_16|meter_16_peak[_auto] CALLS\n",
                     argv[0]);
        return 2;
    }
    const char* what = argv[1];
    long calls = std::strtol(argv[2], nullptr, 10);
    if (calls < 0) {
        std::fprintf(stderr, "%s: CALLS must not be negative\n", argv[0]);
        return 2;
    }
    if (std::strcmp(what, "analyse_block") == 0) {
        WaveHeader* block = bench_block();
        for (long i = 0; i < calls; ++i) analyse_block(block);
        return 0;
    }
    bool sixteen = std::strncmp(what, "meter_16", 8) == 0;
    bool peak = std::strstr(what, "_peak") != nullptr;
    bool automatic = std::strstr(what, "_auto") != nullptr;
    if (!sixteen && std::strncmp(what, "meter_8", 7) != 0) {
        std::fprintf(stderr, "%s: unknown function '%s'\n", argv[0], what);
        return 2;
    }
    bench_meter_setup(sixteen, peak);
    if (automatic) gain_set_auto();
    for (long i = 0; i < calls; ++i) {
        bench_vary_spectrum(static_cast<uint32_t>(i));
        meter_tick();
    }
    return 0;
}
