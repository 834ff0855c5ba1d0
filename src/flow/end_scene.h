// The end screen's loop: one frame per 56 ms until the tune stops (faded out
// after 30 seconds) or a key is pressed.
#pragma once

// Runs the end screen on the window; shuts the platform down before it
// returns 0.
int run_end_screen();
