// Lists every plasma and logo routine built in, one a line, as "plasma avx2
// runs" or "plasma avx512 skipped: REASON", with the tests' own rule (so the
// hiding variable counts). The CPU routines stage compares the lists of this
// CPU and of the emulator.
#include "effects/logo.h"
#include "effects/plasma.h"
#include "routine_skip.h"
#include <cstdio>

template <class Pass>
static void list(const char* family, std::span<const effect_routine<Pass>> routines) {
    for (const effect_routine<Pass>& r : routines) {
        const std::string why = routine_skip_reason(r.name, r.needs, r.runs_here);
        std::printf("%s %s %s%s\n", family, r.name, why.empty() ? "runs" : "skipped: ", why.c_str());
    }
}

int main() {
    list("plasma", all_routines(plasma_routine_table()));
    list("logo", all_routines(logo_routine_table()));
    return std::fflush(stdout) != 0;
}
