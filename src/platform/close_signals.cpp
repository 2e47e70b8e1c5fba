// The close signals, noted in an atomic flag, the one thing a handler may safely touch.
#include "platform/close_signals.h"

#include <atomic>
#include <csignal>

namespace {

// One bit per signal waiting to be taken.
std::atomic<int> g_close_signals{0};
static_assert(std::atomic<int>::is_always_lock_free);

int bit_of(int sig) { return sig == SIGINT ? 1 : sig == SIGTERM ? 2 : 4; }

extern "C" void on_close_signal(int sig) {
  const int bit = bit_of(sig);
  // The same Ctrl+C or kill again before the game took the first means it is not
  // listening: die as usual. Not so a hang-up: a closing terminal and the end of a
  // session send it more than once, and beside a SIGTERM.
  if ((g_close_signals.fetch_or(bit) & bit) != 0 && sig != SIGHUP) {
    std::signal(sig, SIG_DFL);
    std::raise(sig);
  }
}

}  // namespace

void install_close_signals() {
  static bool done = false;
  if (done) return;
  done = true;
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
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

bool close_signal_pending() { return g_close_signals.load() != 0; }

bool take_close_signal() { return g_close_signals.exchange(0) != 0; }
