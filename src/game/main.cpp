// Program entry. The command line is not read.
#include <exception>
#include <iostream>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "game/program.h"

int main() {
#if defined(__GLIBC__)
  // Software GL builds each frame's drawing in some megabytes of heap and frees them
  // again; glibc would give them back to the system at once, and the next frame would
  // fault them in anew. Keep them (up to 64 MiB free, far more than a frame takes).
  // Large blocks still go straight back, so the peak does not grow.
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
  try {
    program_options options;
    // A sound or display device that never answers must not keep the game from ending.
    options.exit_watchdog_ms = 4000;
    return run_program(options);
  } catch (const std::exception& e) {
    std::cerr << "aerovane: " << e.what() << std::endl;
    return 2;
  } catch (...) {
    std::cerr << "aerovane: unexpected failure" << std::endl;
    return 2;
  }
}
