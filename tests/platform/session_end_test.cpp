// The end of a session: the close signals as they come then, and the deadline of the exit.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include "platform/close_signals.h"
#include "platform/exit_watchdog.h"

// A closing terminal sends SIGHUP, and its shell's end another, often beside a SIGTERM,
// all before the game takes the first: one close request, never the default death. The
// same Ctrl+C twice still means nobody is listening.
TEST(CloseSignals, HangUpsAsTheyComeAreOneRequestButCtrlCTwiceKills) {
  install_close_signals();
  std::raise(SIGHUP);
  std::raise(SIGHUP);
  std::raise(SIGTERM);
  EXPECT_TRUE(take_close_signal());
  EXPECT_FALSE(take_close_signal());
  EXPECT_EXIT(
      {
        std::raise(SIGINT);
        std::raise(SIGINT);
        _exit(0);
      },
      testing::KilledBySignal(SIGINT), "");
}

// Under nohup the hang-up is ignored, and must stay so.
TEST(CloseSignals, AHangUpIgnoredFromTheStartStaysIgnored) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process, handlers not yet set
  EXPECT_EXIT(
      {
        std::signal(SIGHUP, SIG_IGN);
        install_close_signals();
        std::raise(SIGHUP);
        _exit(close_signal_pending() ? 1 : 0);
      },
      testing::ExitedWithCode(0), "");
}

TEST(ExitWatchdog, EndsAStalledExitWithStatus1AndSaysSoButNotOneInTime) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        std::atexit(+[] {
          for (;;) pause();  // a device that never answers
        });
        arm_exit_watchdog(200, 1);
        std::exit(0);
      },
      testing::ExitedWithCode(1), "^aerovane: still not ended 200 ms into the shutdown");
  EXPECT_EXIT(
      {
        arm_exit_watchdog(5000, 1);
        std::exit(7);
      },
      testing::ExitedWithCode(7), "^$");
}
