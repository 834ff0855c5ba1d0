// What a scene does with the events it looks at: a stop request ends the run,
// a changed or uncovered window gets its picture again, a key press is
// reported to the scene.
#pragma once

// One look at the events from a scene. A stop request ends the run here: SDL
// is shut down and the process ends as the signal would end it. A lost
// display connection ends it too, with one line and status 1. A window
// whose size changed gets the screen attached to its new surface; an
// uncovered one is presented again. True when a key was pressed.
bool scene_key_pressed();

// Shuts SDL down on the way out. When the sound device has stalled, its thread
// can never be joined, so only the video side is shut down (which is what puts
// the screen back).
void quit_sdl();
