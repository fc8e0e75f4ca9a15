// Music-like test signals for the sensitivity tests and the benchmarks: a
// deterministic two-chord-a-bar song at 120 beats a minute (kick, snare,
// hi-hats, bass, a melody and a pad) in three arrangements, with dynamics from
// bar to bar, brought to a chosen RMS level.
#pragma once
#include <cstdint>
#include <vector>

enum class MusicKind {
    Steady,     // every part playing, mild dynamics
    BeatHeavy,  // drums in front, a crescendo over each half of the phrase
    Breakdown,  // as steady, but two bars of hi-hats and pad alone, then a build-up
};

// `seconds` of the arrangement as 44,100 Hz mono 16-bit samples whose RMS over
// the whole length is `rms_db` dBFS (0 dBFS: an RMS of 32,768, a full-scale
// square wave); peaks beyond three quarters of full scale are softly limited,
// as a loud master's are.
std::vector<int16_t> music_signal(MusicKind kind, double seconds, double rms_db);

// The RMS of `samples` in dBFS (as above); -inf for silence.
double music_rms_db(const std::vector<int16_t>& samples);
