// The events as the scenes see them: only a key press acts, and a stop
// request or a lost display ends the run.
#pragma once

// What one look at the events found.
struct events_seen {
    bool key_pressed;
    bool display_lost;  // the display connection broke: the run must end
    int stop_signal;    // the signal that asked the run to end, 0 when none did
};

// Takes the events queued at this moment, up to and including the first key
// press (the video driver keeps the window's picture right meanwhile), and
// whether a stop was requested.
events_seen look_at_events();

// Ends the run when the look asked for it: a stop signal ends it as the
// signal would (a shell sees 128 + signal), a lost display with one line and
// status 1. Returns otherwise.
void end_run_if_asked(const events_seen& seen);
