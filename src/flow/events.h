// The event queue as the scenes see it: only a key press acts.
#pragma once

// Takes every event queued at this moment and says whether a key press was
// among them; the others are dropped (window-close requests included). On the
// way, a change of the window's size attaches the screen to the new surface,
// an uncovered window gets its picture again, and a stop signal ends the run
// here: SDL is shut down and the process ends as the signal would end it.
bool take_events_key_pressed();

// Shuts SDL down on the way out. When the sound device has stalled, its thread
// can never be joined, so only the video side is shut down (which is what puts
// a changed display mode back).
void quit_sdl();
