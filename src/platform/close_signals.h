// Internal: the signals that ask the program to close (SIGINT, SIGTERM, SIGHUP). Their handler
// only notes the signal; the system driver's pump turns it into a close request event,
// so the game shuts down the normal way and saves its files.
#pragma once

// Installs the handlers, once. A signal the program was started with ignored stays so.
void install_close_signals();
// Whether a signal came that nobody has taken yet (the blocking wait wakes for it).
bool close_signal_pending();
// Takes the waiting signal: true once per signal.
bool take_close_signal();
