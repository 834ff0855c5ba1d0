"""Naps 11 ms again and again for SECONDS and prints how many naps it took,
how many woke more than a millisecond late, and the latest in ms: what the
machine does to a program that naps to keep a pace, beside the one measured."""
import sys
import time

NAP_S = 0.011
LATE_S = 0.001

naps = late = 0
worst = 0.0
end = time.monotonic() + float(sys.argv[1])
while time.monotonic() < end:
    before = time.monotonic()
    time.sleep(NAP_S)
    over = time.monotonic() - before - NAP_S
    naps += 1
    late += over > LATE_S
    worst = max(worst, over)
print(naps, late, f"{worst * 1000:.1f}")
