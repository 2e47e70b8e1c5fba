// The files in the data folder: the best score, the glasses type and the choice of a
// window over full screen (4 bytes each), and the other options (12 bytes). Read once at
// start-up and written at exit; the options and the glasses type also when the menu is
// left. A save never leaves a half-written file behind: the values go to a new file
// beside the old one, are read back, and only then replace it. The player's
// arrangements stand: a symlink stays a link to the file it names, and the file keeps
// its permissions.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "game/game.h"
#include "graphics/gl/graphics.h"
#include "stream/stream.h"
#include "world/globals.h"
#include "world/player.h"
#include "world/qndraw.h"

namespace fs = std::filesystem;

const char* const hiscore_path = "data\\hiscore.dat";
const char* const anaglyph_path = "Data\\anaglyph3d.dat";
const char* const window_path = "data\\window.dat";
const char* const options_path = "data\\options.dat";

namespace {

// What the glasses and options files were last read as or given, so that leaving the
// menu writes only what changed since; empty when not known.
std::vector<int> glasses_held, options_held;

std::vector<int> options_now() { return {retro_fx, sfx_step, engine_step}; }

// Steps a volume the way the menu does until it shows the stored step, so the float is
// the very one the player heard.
void restore_volume(int& step, float& volume, int stored) {
  for (int i = 0; i <= 11 && step != stored; ++i) step_volume(step, volume);
}

// The one int of a data file. False when no regular, readable file is there (a folder
// of that name, say); a file shorter than 4 bytes reads as its bytes padded with zeros.
bool read_data_int(const std::string& path, int& value) {
  if (file_type(path) != 1) return false;
  try {
    auto stream = read_file(path);
    if (!stream) return false;
    const int read = ReadInt(stream);
    close_stream(stream);
    value = read;
    return true;
  } catch (const TStreamException&) {
    return false;
  }
}

// The ints of a file that holds exactly values.size() of them, and nothing else.
bool read_exact_ints(const std::string& path, std::vector<int>& values) {
  if (file_type(path) != 1) return false;
  try {
    auto stream = read_file(path);
    if (!stream) return false;
    const bool whole = stream->Size() == static_cast<std::int64_t>(4 * values.size());
    if (whole)
      for (int& v : values) v = ReadInt(stream);
    close_stream(stream);
    return whole;
  } catch (const TStreamException&) {
    return false;
  }
}

// True when the file at path holds exactly the bytes of values.
bool holds_exactly(const std::string& path, const std::vector<int>& values) {
  std::vector<int> held(values.size());
  return read_exact_ints(path, held) && held == values;
}

// The file a save replaces: symlinks followed to the file they name, which need
// not exist yet. Empty for links that go round in a loop.
std::string save_target(const std::string& path) {
  fs::path p = map_file_path(path);
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec))) return p.string();
    const fs::path to = fs::read_symlink(p, ec);
    if (ec) return p.string();
    p = to.is_absolute() ? to : p.parent_path() / to;
  }
  return {};
}

// A new file beside target, made by this save alone; -1 (and errno) when none can be.
int create_beside(const std::string& target, std::string& temp) {
  for (int i = 0; i < 100; ++i) {
    temp = target + ".new" + (i ? std::to_string(i) : "");
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Writes the values at the start of the open file, cuts it after them and waits for the
// disk. Closes fd. 0, or the errno of the failure.
int put_ints(int fd, const std::vector<int>& values) {
  FILE* file = fdopen(fd, "wb");  // does not truncate: in place, the old bytes stay till written
  if (!file) {
    const int err = errno;
    close(fd);
    return err;
  }
  auto stream = TCStream::CreateWithCStream(file, MODE_WRITE);
  errno = 0;
  try {
    for (int v : values) WriteInt(stream, v);
    stream->Flush();  // a full disk shows here
  } catch (const TStreamException&) {
    return errno ? errno : EIO;
  }
  if (ftruncate(fd, static_cast<off_t>(4 * values.size())) != 0 || fsync(fd) != 0) return errno;
  return 0;
}

// Why target could not be given the values; empty when it has them.
std::string save_into(const std::string& target, const std::vector<int>& values) {
  if (target.empty()) return std::strerror(ELOOP);
  struct stat old;
  const bool exists = stat(target.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode)) return "not a regular file";

  std::string temp;
  const int fd = create_beside(target, temp);
  if (fd < 0) {
    // A folder the player may not write to can still hold a file they may: write
    // it in place, as the game always did.
    const int in_place = open(target.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (in_place < 0) return std::strerror(errno);
    if (const int err = put_ints(in_place, values)) return std::strerror(err);
    return holds_exactly(target, values) ? "" : "the file did not read back";
  }
  if (exists) {
    fchmod(fd, old.st_mode & 0777);
    if (fchown(fd, old.st_uid, old.st_gid) != 0) {
      // Only root can give a file back to its owner; anyone else saves their own.
    }
  }
  std::string why;
  if (const int err = put_ints(fd, values)) why = std::strerror(err);
  else if (!holds_exactly(temp, values)) why = "the file did not read back";
  else if (std::rename(temp.c_str(), target.c_str()) != 0) why = std::strerror(errno);
  // Only ever remove what this save made.
  if (!why.empty()) std::remove(temp.c_str());
  return why;
}

}  // namespace

bool write_data_int(const std::string& path, int value) { return write_data_ints(path, {value}); }

bool write_data_ints(const std::string& path, const std::vector<int>& values) {
  const std::string target = save_target(path);
  // Without a data folder the game runs without sounds and without saves, quietly.
  std::error_code ec;
  const fs::path folder = fs::path(target).parent_path();
  if (!target.empty() && !folder.empty() && !fs::is_directory(folder, ec)) return false;
  const std::string why = save_into(target, values);
  if (why.empty()) return true;
  std::cerr << "aerovane: cannot save " << map_file_path(path) << ": " << why << std::endl;
  return false;
}

int hiscore_file(int save) {
  if (save) {
    write_data_int(hiscore_path, player->best_sc);
    return 0;
  }
  int best = 0;
  if (!read_data_int(hiscore_path, best)) best = 0;
  // No game ever ends below 0, so a negative value can only be a damaged file.
  player->best_sc = best < 0 ? 0 : best;
  return 0;
}

int anaglyph_file(int mode) {
  if (mode == 1) {
    int stored = 0;
    if (read_data_int(anaglyph_path, stored))
      // The menu only knows types 0 to 4; anything else starts flat.
      mode3d = (stored >= 0 && stored <= 4) ? stored : 0;
    glasses_held.clear();
    if (holds_exactly(anaglyph_path, {mode3d})) glasses_held = {mode3d};
  } else if (mode == 2) {
    write_data_int(anaglyph_path, mode3d);
    glasses_held = {mode3d};  // tried: a failed save is not retried till the value changes
  }

  switch (mode3d) {
    case 1: draw3d->slc(140, 4, 40, 4, 100, 20); break;
    case 2: draw3d->slc(4, 100, 20, 140, 4, 10); break;
    case 3: draw3d->slc(4, 80, 60, 140, 4, 10); break;
    case 4: draw3d->slc(4, 20, 140, 140, 4, 20); break;
    default: break;  // flat: the last colours stay stored but unused
  }
  return 0;
}

int window_file(int save) {
  if (save) {
    write_data_int(window_path, GraphicsWindowed() ? 1 : 0);
    return 0;
  }
  // Anything but exactly the four bytes of 0 or 1 is full screen, as with no file.
  int stored = 0;
  const bool window =
      read_data_int(window_path, stored) && stored == 1 && holds_exactly(window_path, {stored});
  SetGraphicsWindowed(window);
  return 0;
}

int options_file(int save) {
  if (save) {
    write_data_ints(options_path, options_now());
    options_held = options_now();  // tried, as with the glasses
    return 0;
  }
  // Absent, short, long or unreadable: every option keeps its default.
  std::vector<int> stored(3);
  options_held.clear();
  if (!read_exact_ints(options_path, stored)) return 0;
  options_held = stored;
  // A value the menu cannot show keeps its own default; the others still count.
  if (stored[0] == 0 || stored[0] == 1) retro_fx = stored[0];
  if (stored[1] >= 0 && stored[1] <= 10) restore_volume(sfx_step, sfx_volume, stored[1]);
  if (stored[2] >= 0 && stored[2] <= 10) restore_volume(engine_step, engine_volume, stored[2]);
  return 0;
}

int options_menu_left() {
  // What was chosen is kept at once, so a crash later in the game cannot lose it.
  if (glasses_held != std::vector<int>{mode3d}) anaglyph_file(2);
  if (options_held != options_now()) options_file(1);
  return 0;
}
