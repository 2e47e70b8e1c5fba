#include "platform/exit_watchdog.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <thread>

void arm_exit_watchdog(int ms, int status) {
  timespec deadline{};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += ms / 1000;
  deadline.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    ++deadline.tv_sec;
    deadline.tv_nsec -= 1000000000L;
  }
  // Detached and touching nothing but its own stack: it must outlive the exit handlers
  // and static destructors it watches over.
  std::thread([deadline, ms, status] {
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
    char line[96];
    const int n = std::snprintf(
        line, sizeof line, "aerovane: still not ended %d ms into the shutdown; ending now\n", ms);
    if (n > 0 && write(STDERR_FILENO, line, static_cast<size_t>(n)) < 0) {
      // Nobody left to tell.
    }
    _exit(status);
  }).detach();
}
