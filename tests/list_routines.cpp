// Lists every plasma and logo routine built in, one a line, as "plasma avx2
// runs" or "plasma avx512 skipped: REASON", with the tests' own rule (so the
// hiding variable counts). The CPU routines stage compares the lists of this
// CPU and of the emulator.
#include "effects/logo.h"
#include "effects/plasma.h"
#include "routine_skip.h"
#include <cstdio>

template <class Routine>
static void list(const char* family, const Routine* routines, int count) {
    for (int i = 0; i < count; ++i) {
        const std::string why = routine_skip_reason(routines[i].name, routines[i].needs, routines[i].runs_here);
        std::printf("%s %s %s%s\n", family, routines[i].name, why.empty() ? "runs" : "skipped: ", why.c_str());
    }
}

int main() {
    // The count first: the list pointer is set by the same call.
    const plasma_routine* plasma;
    const int plasma_count = plasma_routines_built(&plasma);
    list("plasma", plasma, plasma_count);
    const logo_routine* logo;
    const int logo_count = logo_routines_built(&logo);
    list("logo", logo, logo_count);
    return std::fflush(stdout) != 0;
}
