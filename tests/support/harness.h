#pragma once
// Runs the whole program deterministically for a test: fixed seed, a clock that only
// moves when something sleeps (so pacing costs nothing), and a script of steps that
// look at and poke the running game once per frame, just before the frame is shown.
// Input goes in as SDL events through the real event path (sdl_events.h); what it shows is
// read with the screen probes (screen_probe.h).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "scratch_dir.h"
#include "screen_probe.h"
#include "sdl_events.h"

// The game's working folder for one run: a scratch folder, made the working folder until
// it goes, with a data folder holding the game's sounds when they have been built.
class game_dir : public scratch_dir {
 public:
  explicit game_dir(bool with_data = true);
  ~game_dir();

 private:
  std::filesystem::path old_;
};

std::vector<std::uint8_t> le32(std::int32_t value);

class game_run {
 public:
  using step = std::function<bool()>;  // true when the step is done

  // Runs the action in the next frame.
  game_run& then(std::function<void()> action);
  // Lets n frames pass.
  game_run& wait(int frames);
  // Waits until the condition holds (checked once a frame).
  game_run& until(std::function<bool()> condition);
  // Ends the splash with a key and waits for the first frame of the main loop.
  game_run& skip_splash();
  // Ends the splash, clicks "Start Game" and waits until the plane is in control.
  game_run& start_game();

  // Runs the program; once every step is done the game is told to quit. Returns the
  // exit status. A run longer than max_frames fails the test and is stopped.
  int run();

  int seed = 20240;
  int max_frames = 4000;
  int frames = 0;         // frames presented in the run
  int splash_frames = 0;  // of which before the main loop
  bool timed_out = false;
  std::function<void()> on_loop_end;

 private:
  std::vector<step> steps_;
};

// ---- the pointer, through SDL's event queue ----

// Puts the pointer on a screen point by a motion event at the window point that maps
// to it; fails the test when no window point does.
void pointer_to(int x, int y);
void click_at(int x, int y);  // the left button
// A window event of the game's window (focus lost, gained, ...), made on the game's thread
// to be pushed with SDL_PushEvent from any thread.
SDL_Event window_event(int sdl_window_event);

// ---- the sounds, through a driver that only records ----

// Makes the recording driver current for the rest of the program: nothing is heard, and
// every sound the game cues is kept in the returned log, in order, as the file of data/ it
// came from ("?" for none), the volume set before it started, its loop flag and what was
// done with its channel after: "bploop.ogg@0.6 loop pause resume stop". One cued and never
// started shows only its file.
const std::vector<std::string>& record_sounds();
