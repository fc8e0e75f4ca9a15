// The meter engine: every 10 ms tick reduces the latest spectrum to a count of
// lit LEDs, runs the falling bar and the peak-hold dot, and writes the frame.
// MeterState is touched by the tick alone and lives for the whole run.
#pragma once
#include <cstdint>

struct MeterState {
    int32_t level;            // quantised level of this tick
    int32_t bar;              // LEDs in the falling bar
    double bar_ticks;         // ticks since the bar last rose or stepped down
    int32_t peak;             // position of the peak dot (0: no dot)
    int32_t peak_age;         // ticks since the peak was last re-armed
    int32_t peak_fall_ticks;  // 8 LEDs: counter of the stepwise fall
    double peak_position;     // 16 LEDs: continuous position of the falling peak
    int32_t lower_bar;        // 16 LEDs: bar and dot split into LEDs 1..8 ...
    int32_t upper_bar;        // ... and LEDs 9..16
    int32_t lower_dot;
    int32_t upper_dot;
};

extern MeterState g_meter_state;

// One tick: reads g_spectrum and the option bytes, updates g_meter_state and
// writes the 8-LED or 16-LED frame.
void meter_tick();

// Back to the all-zero start, the sensitivity at fixed 0 dB included (tests).
void meter_reset();
