// The close signals, noted in an atomic flag, the one thing a handler may safely touch.
#include "platform/close_signals.h"

#include <atomic>
#include <csignal>

namespace {

std::atomic<int> g_close_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void on_close_signal(int sig) {
  // A second signal before the game took the first means it is not listening: die as usual.
  if (g_close_signal.exchange(1) != 0) {
    std::signal(sig, SIG_DFL);
    std::raise(sig);
  }
}

}  // namespace

void install_close_signals() {
  static bool done = false;
  if (done) return;
  done = true;
  for (int sig : {SIGINT, SIGTERM}) {
    struct sigaction old {};
    if (sigaction(sig, nullptr, &old) != 0) continue;
    if (old.sa_handler == SIG_IGN) continue;  // started with the signal ignored: keep it so
    struct sigaction sa {};
    sa.sa_handler = on_close_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(sig, &sa, nullptr);
  }
}

bool close_signal_pending() { return g_close_signal.load() != 0; }

bool take_close_signal() { return g_close_signal.exchange(0) != 0; }
