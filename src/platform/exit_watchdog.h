// A deadline for the end of the program. The way out passes through devices and
// libraries that may never answer (a sound server that hangs, a display that is gone);
// once the saves are done, nothing there is worth waiting for without end.
#pragma once

// From now on, the process ends with `status` after `ms` milliseconds unless it has
// ended by then, exit handlers and destructors included; it then says so in one line
// on standard error. Each call sets a deadline of its own; the first to pass ends it.
void arm_exit_watchdog(int ms, int status);
