// The meter's sensitivity (not yet applied by the tick).
#include "meter/gain.h"

void gain_set_fixed(double) {}
void gain_set_auto() {}
