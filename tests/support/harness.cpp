#include "harness.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string_view>

#include "audio/audio.h"
#include "audio/sample.h"
#include "game/program.h"
#include "graphics/draw/draw2d.h"
#include "graphics/pixmap/pixmap.h"
#include "graphics/window/screen_window.h"
#include "platform/input.h"
#include "private_display.h"
#include "stream/stream.h"
#include "world/globals.h"

namespace fs = std::filesystem;

// ---------------------------------------------------------------- game_dir

game_dir::game_dir(bool with_data) {
  use_private_display();
  // Sounds through a device nobody hears, unless the caller chose otherwise.
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  if (with_data) {
    fs::create_directory(path() / "data");
    const fs::path sounds = fs::path(AV_BINARY_DIR) / "data";
    std::error_code ec;
    if (fs::is_directory(sounds, ec))
      for (const auto& entry : fs::directory_iterator(sounds, ec))
        if (entry.path().extension() == ".ogg")
          fs::copy_file(entry.path(), path() / "data" / entry.path().filename(), ec);
  }
  old_ = fs::current_path();
  fs::current_path(path());
}

game_dir::~game_dir() {
  std::error_code ec;
  fs::current_path(old_, ec);
}

std::vector<std::uint8_t> le32(std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
          static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

// ---------------------------------------------------------------- game_run

game_run& game_run::then(std::function<void()> action) {
  steps_.push_back([action] {
    action();
    return true;
  });
  return *this;
}

game_run& game_run::wait(int n) {
  auto left = std::make_shared<int>(n);
  steps_.push_back([left] { return --*left <= 0; });
  return *this;
}

game_run& game_run::until(std::function<bool()> condition) {
  steps_.push_back(std::move(condition));
  return *this;
}

game_run& game_run::skip_splash() {
  then([] { push_key_press(SDL_SCANCODE_SPACE); });
  return until([] { return first_run == 0; });
}

game_run& game_run::start_game() {
  skip_splash().then([] { click_at(320, 240); });
  return until([] { return game_state == state_play && play_phase == phase_in_control; });
}

int game_run::run() {
  use_private_display();
  std::size_t next = 0;
  frames = 0;
  splash_frames = 0;
  timed_out = false;
  program_options options;
  options.fixed_seed = true;
  options.seed = seed;
  options.fake_clock = true;
  options.on_loop_end = on_loop_end;
  options.on_frame = [&](int frame) {
    frames = frame;
    if (first_run) ++splash_frames;
    if (frame > max_frames) {
      if (!timed_out) ADD_FAILURE() << "the run did not end within " << max_frames << " frames";
      timed_out = true;
      quit_flag = 1;
      return;
    }
    if (next < steps_.size()) {
      if (steps_[next]()) ++next;
    } else {
      quit_flag = 1;
    }
  };
  return run_program(options);
}

// ---------------------------------------------------------------- pointer

namespace {

// The window the game's screen shows in, whichever renderer draws it.
SDL_Window* game_window() {
  TScreenWindow* r = CurrentScreenWindow();
  return r && r->window ? r->window : SDL_GL_GetCurrentWindow();
}

// Where (x, y) of the game screen lies in the window: found by asking the event path
// itself, so it holds for whatever scaling the display chose.
bool window_point(int x, int y, int& wx, int& wy) {
  SDL_Window* window = game_window();
  int w = 640, h = 480;
  if (window) SDL_GetWindowSize(window, &w, &h);
  const int ax = w / 4, ay = h / 4, bx = 3 * w / 4, by = 3 * h / 4;
  push_motion(ax, ay);
  const int sax = mouse_x(), say = mouse_y();
  push_motion(bx, by);
  const int sbx = mouse_x(), sby = mouse_y();
  if (sbx == sax || sby == say) return false;
  const double kx = double(bx - ax) / (sbx - sax), ky = double(by - ay) / (sby - say);
  const int ex = ax + static_cast<int>((x - sax) * kx), ey = ay + static_cast<int>((y - say) * ky);
  for (int r = 0; r <= 4; ++r)
    for (int dy = -r; dy <= r; ++dy)
      for (int dx = -r; dx <= r; ++dx) {
        push_motion(ex + dx, ey + dy);
        if (mouse_x() == x && mouse_y() == y) {
          wx = ex + dx;
          wy = ey + dy;
          return true;
        }
      }
  return false;
}

int last_wx = 0, last_wy = 0;

}  // namespace

void pointer_to(int x, int y) {
  if (!window_point(x, y, last_wx, last_wy))
    ADD_FAILURE() << "no window point maps to (" << x << ", " << y << ")";
}

void click_at(int x, int y) {
  pointer_to(x, y);
  push_button(SDL_BUTTON_LEFT, true, last_wx, last_wy);
  push_button(SDL_BUTTON_LEFT, false, last_wx, last_wy);
}

SDL_Event window_event(int sdl_window_event) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.windowID = SDL_GetWindowID(game_window());
  e.window.event = static_cast<Uint8>(sdl_window_event);
  return e;
}

// ---------------------------------------------------------------- sounds

namespace {

std::vector<std::string> played;

class recorded_channel : public TChannel {
 public:
  recorded_channel(int entry = -1, bool loop = false) : entry_(entry), loop_(loop) {}
  int Stop() override {
    if (started_ && !stopped_) played[entry_] += " stop";
    stopped_ = true;
    return 0;
  }
  int SetPaused(int p) override {
    if (entry_ >= 0 && !p && !started_) {
      char v[32];
      std::snprintf(v, sizeof v, "@%g%s", static_cast<double>(volume_), loop_ ? " loop" : "");
      played[entry_] += v;
      started_ = true;
    } else if (started_) {
      played[entry_] += p ? " pause" : " resume";
    }
    paused_ = p != 0;
    return 0;
  }
  int SetVolume(float volume) override {
    volume_ = volume;
    return 0;
  }
  int Playing() override { return !paused_ && !stopped_; }

 private:
  int entry_;
  bool loop_, started_ = false, paused_ = true, stopped_ = false;
  float volume_ = -1.0f;
};

class recorded_sound : public TSound {
 public:
  recorded_sound(std::string file, bool loop) : file_(std::move(file)), loop_(loop) {}
  std::shared_ptr<TChannel> Cue(const std::shared_ptr<TChannel>&) override {
    played.push_back(file_);
    return std::make_shared<recorded_channel>(static_cast<int>(played.size()) - 1, loop_);
  }

 private:
  std::string file_;
  bool loop_;
};

std::size_t sample_key(const TAudioSample& s) {
  return std::hash<std::string_view>{}(std::string_view(reinterpret_cast<const char*>(s.samples),
                                                        static_cast<std::size_t>(s.ByteCount())));
}

// Tells each sound by its samples, against every file of data/ read on its own.
class recording_driver : public TAudioDriver {
 public:
  recording_driver() {
    std::error_code ec;
    for (const auto& f : fs::directory_iterator(fs::path(AV_BINARY_DIR) / "data", ec))
      if (std::shared_ptr<TAudioSample> s = load_audio_sample(f.path().string()))
        files_[sample_key(*s)] = f.path().filename().string();
    EXPECT_FALSE(files_.empty()) << "no sounds in the build's data folder";
  }
  std::string Name() override { return "Recorder"; }
  std::shared_ptr<TSound> CreateSound(const std::shared_ptr<TAudioSample>& sample,
                                      int flags) override {
    auto f = files_.find(sample_key(*sample));
    return std::make_shared<recorded_sound>(f == files_.end() ? "?" : f->second,
                                            (flags & SOUND_LOOP) != 0);
  }
  std::shared_ptr<TChannel> AllocChannel() override { return std::make_shared<recorded_channel>(); }

 private:
  std::map<std::size_t, std::string> files_;
};

}  // namespace

const std::vector<std::string>& record_sounds() {
  init_stream_module();
  init_audio_module();
  static recording_driver driver;
  EXPECT_EQ(set_audio_driver("Recorder"), 1);
  played.clear();
  return played;
}
