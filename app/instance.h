// One running copy of the program at a time: a second copy would write its
// frames to the same port between the first one's, and the LEDs would show
// neither. Start-up claims the program's place before it touches anything;
// a copy that finds the place taken says so and ends. One implementation per
// platform; the tests script the answer.
#pragma once
#include <cstdint>

constexpr int32_t INSTANCE_FIRST = 0;            // this copy holds the place until it ends
constexpr int32_t INSTANCE_ALREADY_RUNNING = 1;  // another copy holds it

// Claims the place; held until the process ends, whether in order or not.
int32_t instance_claim();
// Tells the user that another copy runs (`text`) and returns once they have seen it.
void instance_tell_running(const char* text);
