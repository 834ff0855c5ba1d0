// Which drawing routines a test program runs: those built in that this CPU
// has, less any that the environment hides; the others are skipped, loudly,
// with the reason.
#pragma once
#include <string>

// Why the routine `name` (which needs the CPU features `needs`) does not run
// here, or "" when it does. TAPEHISS_TEST_HIDE_ROUTINES, a comma-separated
// list of routine names, hides routines from the tests as if this CPU lacked
// them, so that a stage's path for such a CPU can be tried on this one. It
// never touches the intro's own choice.
std::string routine_skip_reason(const char* name, const char* needs, bool runs_here);
