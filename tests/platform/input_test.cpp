// Polled keyboard and mouse state, fed by SDL events through the real pump.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "platform/input.h"
#include "sdl_events.h"

namespace {

class Input : public ::testing::Test {
 protected:
  void SetUp() override {
    start_dummy_video();
    enable_polled_input();
  }
  void TearDown() override { disable_polled_input(); }
};

TEST_F(Input, OneHitPerPressHoweverLongHeld) {
  push_key(SDL_SCANCODE_LCTRL, true);
  for (int i = 0; i < 20; ++i) push_key(SDL_SCANCODE_LCTRL, true, true);
  EXPECT_EQ(key_down(162), 1);
  EXPECT_EQ(key_hits(162), 1);
  EXPECT_EQ(key_hits(162), 0);  // read once
  push_key(SDL_SCANCODE_LCTRL, true, true);
  EXPECT_EQ(key_hits(162), 0);
  push_key(SDL_SCANCODE_LCTRL, false);
  EXPECT_EQ(key_down(162), 0);
  EXPECT_EQ(key_down(17), 0);  // never the generic code
}

TEST_F(Input, TwoPressesBetweenReadsGiveTwo) {
  for (int i = 0; i < 2; ++i) {
    push_key(SDL_SCANCODE_SPACE, true);
    push_key(SDL_SCANCODE_SPACE, false);
    push_button(SDL_BUTTON_LEFT, true, 5, 5);
    push_button(SDL_BUTTON_LEFT, false, 5, 5);
  }
  EXPECT_EQ(key_hits(32), 2);
  EXPECT_EQ(mouse_hits(1), 2);
  EXPECT_EQ(key_hits(32), 0);
  EXPECT_EQ(mouse_hits(1), 0);
}

TEST_F(Input, MouseButtonsPositionAndWheel) {
  push_motion(123, 45);
  push_button(SDL_BUTTON_RIGHT, true, 123, 45);
  EXPECT_EQ(mouse_x(), 123);
  EXPECT_EQ(mouse_y(), 45);
  EXPECT_EQ(mouse_down(2), 1);
  EXPECT_EQ(mouse_down(1), 0);
  push_button(SDL_BUTTON_RIGHT, false, 123, 45);
  push_button(SDL_BUTTON_MIDDLE, true, 123, 45);
  EXPECT_EQ(mouse_down(2), 0);
  EXPECT_EQ(mouse_hits(2), 1);
  EXPECT_EQ(mouse_down(3), 1);
  push_wheel(3);
  push_wheel(-1);
  EXPECT_EQ(mouse_z(), 2);
  flush_mouse();
  EXPECT_EQ(mouse_down(3), 0);
  EXPECT_EQ(mouse_hits(3), 0);
  EXPECT_EQ(mouse_z(), 0);
  EXPECT_EQ(mouse_x(), 123);  // the position stays
  EXPECT_EQ(mouse_y(), 45);
}

TEST_F(Input, SuspendAndResumeClearHeldKeysAndButtons) {
  push_key(SDL_SCANCODE_UP, true);
  push_button(SDL_BUTTON_LEFT, true, 1, 1);
  EXPECT_EQ(key_down(38), 1);
  push_window(SDL_WINDOWEVENT_FOCUS_LOST);
  EXPECT_EQ(app_suspended(), 1);
  EXPECT_EQ(key_down(38), 0);
  EXPECT_EQ(key_hits(38), 0);
  EXPECT_EQ(mouse_down(1), 0);
  push_window(SDL_WINDOWEVENT_FOCUS_GAINED);
  push_key(SDL_SCANCODE_UP, true, true);  // still held: repeats are no press
  EXPECT_EQ(app_suspended(), 0);
  EXPECT_EQ(key_down(38), 0);
  EXPECT_EQ(key_hits(38), 0);
  push_key(SDL_SCANCODE_UP, false);
  push_key(SDL_SCANCODE_UP, true);
  EXPECT_EQ(key_down(38), 1);
  EXPECT_EQ(key_hits(38), 1);
}

TEST_F(Input, AppTerminateAnswersOncePerRequest) {
  EXPECT_EQ(app_terminate(), 0);
  push_window(SDL_WINDOWEVENT_CLOSE);
  EXPECT_EQ(app_terminate(), 1);
  EXPECT_EQ(app_terminate(), 0);
  push_key(SDL_SCANCODE_RALT, true);
  push_key(SDL_SCANCODE_F4, true);
  EXPECT_EQ(app_terminate(), 1);
  EXPECT_EQ(app_terminate(), 0);
  std::raise(SIGTERM);
  EXPECT_EQ(app_terminate(), 1);
  EXPECT_EQ(app_terminate(), 0);
}

TEST_F(Input, CodesOutsideTheTablesAreIgnored) {
  for (int code : {0, -1, 256, 300, 100000}) {
    TEvent::Create(KeyDown, nullptr, code)->Emit();
    TEvent::Create(KeyUp, nullptr, code)->Emit();
    TEvent::Create(MouseDown, nullptr, code)->Emit();
  }
  TEvent::Create(MouseDown, nullptr, 4)->Emit();
  for (int k = 0; k <= 256; ++k) {
    EXPECT_EQ(key_down(k), 0) << k;
    EXPECT_EQ(key_hits(k), 0) << k;
  }
  for (int b = -1; b <= 4; ++b) EXPECT_EQ(mouse_hits(b), 0) << b;
}

TEST_F(Input, CharactersQueueInOrderAndFlushEmptiesThem) {
  push_text("hi!");
  EXPECT_EQ(next_char(), 'h');
  EXPECT_EQ(next_char(), 'i');
  EXPECT_EQ(next_char(), '!');
  EXPECT_EQ(next_char(), 0);
  for (int i = 0; i < 300; ++i) TEvent::Create(KeyChar, nullptr, 'a' + i % 26)->Emit();
  int n = 0;
  while (next_char()) ++n;
  EXPECT_EQ(n, 256);  // the rest were dropped, not wrapped over the waiting ones
  push_text("x");
  flush_keys();
  EXPECT_EQ(next_char(), 0);
}

TEST_F(Input, EnableTwiceCountsOnceAndDisableStopsListening) {
  enable_polled_input();
  push_key(SDL_SCANCODE_A, true);
  EXPECT_EQ(key_hits('A'), 1);
  disable_polled_input();
  push_key(SDL_SCANCODE_A, false);
  push_key(SDL_SCANCODE_A, true);
  EXPECT_EQ(key_hits('A'), 0);
  enable_polled_input();
}

// The waits block in the pump until something arrives from outside (another thread here).
TEST_F(Input, WaitsReturnOnInputAndGiveUpOnACloseRequest) {
  std::thread typist([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    push_key(SDL_SCANCODE_M, true);
  });
  EXPECT_EQ(wait_key(), 'M');
  typist.join();
  EXPECT_EQ(key_down('M'), 1);

  std::thread closer([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    std::raise(SIGTERM);
  });
  EXPECT_EQ(wait_mouse(), 0);
  closer.join();
  EXPECT_EQ(app_terminate(), 1);
}

}  // namespace
