#pragma once
// The whole program as one call, so main() and the test harness run the same code.
#include <functional>

struct program_options {
  // Seed the random numbers with this instead of the clock.
  bool fixed_seed = false;
  int seed = 1;
  // Replace the clock with a counter that only moves when something sleeps, so
  // frame pacing and the shutdown wait cost no real time.
  bool fake_clock = false;
  // Called with the frame number (counted from 1 over the splash and the main loop)
  // just before each frame is presented; the back buffer then holds the finished
  // frame. The hook may read or change the globals, queue input or set quit_flag.
  std::function<void(int frame)> on_frame;
  // Called once the main loop has ended, before shutdown saves the data files.
  std::function<void()> on_loop_end;
  // From the start of shutdown, the process ends with status 1 after this many ms if it
  // has not ended by then (exit handlers included); 0: no limit, for a test that runs
  // the program inside its own process.
  int exit_watchdog_ms = 0;
};

// Start-up, the main loop and shutdown. Returns the exit status: 0 after a normal
// shutdown, 1 when no display can be opened (the reason goes to standard error).
// Conditions the program cannot go on from are thrown as exceptions.
int run_program(const program_options& options = {});

// The frame number of the current run (0 before the first present).
int program_frame();
