// The display connection lost under the running program: the X server or the Wayland
// compositor went away (a log-out, a crash of the desktop, a dropped remote session).
// Nothing can be shown any more and every call into the display could wait for ever,
// so the program saves what it must, says why on one line of standard error and ends
// at once with status 1; no exit handler or destructor runs.
#pragma once

// What must be kept when that happens (the game's data files), or nullptr. It must not
// use the display, and may run on another thread than the game's. Setting nullptr after
// the display went away never returns: the process is ending, its saves under way.
void set_display_lost_saves(void (*saves)());
