// The single running copy on Linux needs no claim of its own: the parallel
// port's device admits one claim at a time, so a second copy is refused there,
// with the port's own explanation. The claim here always succeeds.
#include "app/instance.h"

#include <cstdio>

int32_t instance_claim() { return INSTANCE_FIRST; }

void instance_tell_running(const char* text) { std::fprintf(stderr, "sonabar: %s\n", text); }
