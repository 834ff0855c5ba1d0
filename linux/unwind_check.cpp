// Built and run beside the self-contained executable: an exception thrown a
// few calls deep, through a routine of the C library (qsort's callback), is
// caught, so the unwinder finds its tables through our lookup.
#include <cstdio>
#include <cstdlib>

namespace {
// Not a standard exception: those pull in parts of the C++ runtime that ask
// for a newer C library than the intro does.
struct thrown {
  int depth;
};
int depth_reached = 0;

[[gnu::noinline]] void throw_from(int depth) {
  depth_reached = depth;
  if (depth == 0) throw thrown{depth};
  throw_from(depth - 1);
}

int compare(const void *, const void *) {
  throw_from(5);
  return 0;
}
}  // namespace

int main() {
  int items[2] = {2, 1};
  try {
    std::qsort(items, 2, sizeof items[0], compare);
  } catch (const thrown &e) {
    std::printf("unwind_check: caught from %d calls deep at depth %d, through the C library\n", 6 - depth_reached, e.depth);
    return 0;
  }
  return 1;
}
