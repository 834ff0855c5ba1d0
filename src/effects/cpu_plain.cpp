// Machines without passes of their own: the plain passes run.
#include "effects/cpu_passes.h"

int cpu_plasma_routines(plasma_routine*, int) { return 0; }

int cpu_logo_routines(logo_routine*, int) { return 0; }
