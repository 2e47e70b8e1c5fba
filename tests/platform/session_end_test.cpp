// The end of a session: hang-ups as they come then, and the deadline of the exit.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include "platform/close_signals.h"
#include "platform/exit_watchdog.h"

// A closing terminal and its shell's end send two SIGHUPs, often beside a SIGTERM, before
// the game takes the first: one close request, not the default death.
TEST(CloseSignals, HangUpsAsTheyComeAreOneRequest) {
  install_close_signals();
  for (int sig : {SIGHUP, SIGHUP, SIGTERM}) std::raise(sig);
  EXPECT_TRUE(take_close_signal());
  EXPECT_FALSE(take_close_signal());
}

TEST(ExitWatchdog, EndsAStalledExitWithStatus1AndSaysSo) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT((std::atexit(+[] { pause(); }), arm_exit_watchdog(200, 1), std::exit(0)),
              testing::ExitedWithCode(1), "^aerovane: still not ended 200 ms into the shutdown");
}
