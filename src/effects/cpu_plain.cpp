// Machines without passes of their own: the plain passes run.
#include "effects/cpu_passes.h"

std::span<const plasma_routine> cpu_plasma_routines() { return {}; }

std::span<const logo_routine> cpu_logo_routines() { return {}; }
