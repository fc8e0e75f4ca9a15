// A peek inside the capture ring, for its tests only: whether it is open and
// running, and the header of each of its eight entries.
#pragma once
#include "audio/capture_ring.h"

bool capture_is_open();
bool capture_is_running();
WaveHeader* capture_header(int index);
