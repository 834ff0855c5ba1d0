#include "routine_skip.h"
#include <cstdlib>

std::string routine_skip_reason(const char* name, const char* needs, bool runs_here) {
    if (!runs_here) return std::string("the CPU lacks some of: ") + needs;
    const char* hidden = std::getenv("TAPEHISS_TEST_HIDE_ROUTINES");
    if (hidden && (std::string(",") + hidden + ",").find(std::string(",") + name + ",") != std::string::npos)
        return std::string("hidden by TAPEHISS_TEST_HIDE_ROUTINES, as on a CPU without ") + needs;
    return "";
}
