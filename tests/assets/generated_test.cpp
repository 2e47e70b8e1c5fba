// The committed pictures, font and sounds: that they are what the generator
// makes, and that they have the shapes the game relies on when it cuts,
// masks and plays them.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "audio/sample.h"
#include "scratch_dir.h"
#include "stream/stream.h"

namespace fs = std::filesystem;

namespace {

const fs::path kSource = AV_SOURCE_DIR;
const fs::path kGenerator = fs::path(AV_BINARY_DIR) / "tools" / "assetgen" / "assetgen";

struct Picture {
  int w = 0, h = 0, depth = 0, type = -1;
  std::vector<unsigned char> rgb;
  bool black(int x, int y) const {
    const unsigned char* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
    return p[0] == 0 && p[1] == 0 && p[2] == 0;
  }
  int r(int x, int y) const { return rgb[(static_cast<size_t>(y) * w + x) * 3]; }
  int g(int x, int y) const { return rgb[(static_cast<size_t>(y) * w + x) * 3 + 1]; }
  int b(int x, int y) const { return rgb[(static_cast<size_t>(y) * w + x) * 3 + 2]; }
};

Picture load_png(const fs::path& path) {
  Picture pic;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return pic;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return Picture{};
  }
  png_init_io(png, f);
  png_read_info(png, info);
  pic.w = static_cast<int>(png_get_image_width(png, info));
  pic.h = static_cast<int>(png_get_image_height(png, info));
  pic.depth = png_get_bit_depth(png, info);
  pic.type = png_get_color_type(png, info);
  if (pic.depth == 8 && pic.type == PNG_COLOR_TYPE_RGB) {
    pic.rgb.resize(static_cast<size_t>(pic.w) * pic.h * 3);
    for (int y = 0; y < pic.h; ++y)
      png_read_row(png, &pic.rgb[static_cast<size_t>(y) * pic.w * 3], nullptr);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(f);
  return pic;
}

Picture asset(const std::string& name) { return load_png(kSource / "assets" / name); }

struct Window {
  int x, y, w, h;
  std::string what;
};

// Every grab window of the sprite sheet, as the game cuts it.
std::vector<Window> sheet_windows() {
  std::vector<Window> v;
  for (int i = 0; i < 26; ++i)
    v.push_back({1 + 49 * (i % 13), 1 + 34 * (i / 13), 48, 33, "frame " + std::to_string(i)});
  for (int j = 0; j < 4; ++j)
    v.push_back({1 + 81 * j, 71, 80, 33, "blimp hit " + std::to_string(j)});
  v.push_back({393, 79, 116, 78, "cloud"});
  return v;
}

struct Box {
  int x0 = 1 << 20, y0 = 1 << 20, x1 = -1, y1 = -1, count = 0;
};

Box visible_box(const Picture& p, const Window& w) {
  Box b;
  for (int y = w.y; y < w.y + w.h; ++y)
    for (int x = w.x; x < w.x + w.w; ++x)
      if (!p.black(x, y)) {
        b.x0 = std::min(b.x0, x - w.x);
        b.y0 = std::min(b.y0, y - w.y);
        b.x1 = std::max(b.x1, x - w.x);
        b.y1 = std::max(b.y1, y - w.y);
        ++b.count;
      }
  return b;
}

// A sound as the game's own loader reads it (16-bit, from Ogg): none when it declines.
struct Decoded {
  int rate = 0, channels = 0;
  std::vector<short> pcm;  // interleaved
};

Decoded decode(const fs::path& path) {
  init_stream_module();
  init_sample_loaders();
  std::shared_ptr<TAudioSample> s = load_audio_sample(path.string());
  if (!s) return {};
  const auto* p = reinterpret_cast<const short*>(s->samples);
  const int channels = audio_sample_channels[s->format];
  return {s->hertz, channels, std::vector<short>(p, p + static_cast<size_t>(s->length) * channels)};
}

}  // namespace

// Running the generator again must reproduce the committed files exactly, and
// nothing in assets/ or data/ may be left over from an older generator.
TEST(GeneratedAssets, CommittedFilesMatchTheGenerator) {
  ASSERT_TRUE(fs::exists(kGenerator)) << kGenerator;
  const scratch_dir scratch;
  const fs::path& out = scratch.path();
  std::string cmd = "\"" + kGenerator.string() + "\" \"" + out.string() + "\"";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;

  int compared = 0;
  for (const char* dir : {"assets", "data"}) {
    std::set<std::string> made, committed;
    for (const auto& e : fs::directory_iterator(out / dir))
      made.insert(e.path().filename().string());
    for (const auto& e : fs::directory_iterator(kSource / dir)) {
      std::string name = e.path().filename().string();
      // the game's own saves
      if (name == "hiscore.dat" || name == "anaglyph3d.dat" || name == "window.dat") continue;
      committed.insert(name);
    }
    EXPECT_EQ(made, committed) << dir;
    for (const std::string& name : made) {
      EXPECT_TRUE(file_bytes(out / dir / name) == file_bytes(kSource / dir / name))
          << dir << "/" << name;
      ++compared;
    }
  }
  EXPECT_TRUE(file_bytes(out / "docs" / "assets.png") ==
              file_bytes(kSource / "docs" / "assets.png"));
  for (const char* icon :
       {"aerovane-48.png", "aerovane-64.png", "aerovane-128.png", "aerovane-256.png"})
    EXPECT_TRUE(file_bytes(out / "dist" / "icons" / icon) ==
                file_bytes(kSource / "dist" / "icons" / icon))
        << icon;
  EXPECT_EQ(compared, 18);
}

TEST(GeneratedAssets, PicturesHaveTheirSizesAsEightBitRgb) {
  const std::map<std::string, std::pair<int, int>> sizes = {
      {"qnlogo.png", {420, 236}},        {"aerovane_bkgr.png", {460, 480}},
      {"aerovane_ttl.png", {347, 124}},  {"aerovane_sf1.png", {640, 171}},
      {"aerovane_mts1.png", {416, 147}}, {"aerovane_mts2.png", {416, 147}},
      {"dmpointer2.png", {20, 20}},
  };
  for (const auto& [name, wh] : sizes) {
    Picture p = asset(name);
    EXPECT_EQ(p.w, wh.first) << name;
    EXPECT_EQ(p.h, wh.second) << name;
    EXPECT_EQ(p.depth, 8) << name;
    EXPECT_EQ(p.type, PNG_COLOR_TYPE_RGB) << name;
  }
  // The font is a TrueType file.
  std::vector<uint8_t> ttf = file_bytes(kSource / "assets" / "skyfont.ttf");
  ASSERT_GE(ttf.size(), 4u);
  EXPECT_EQ(std::string(ttf.begin(), ttf.begin() + 4), std::string("\0\1\0\0", 4));
  EXPECT_TRUE(fs::exists(kSource / "assets" / "skyfont-LICENCE.txt"));
}

// Pictures that fill their whole rectangle must not contain the mask colour,
// or the game would punch holes in them.
TEST(GeneratedAssets, FullPicturesHaveNoMaskColour) {
  for (const char* name : {"qnlogo.png", "aerovane_bkgr.png", "aerovane_ttl.png"}) {
    Picture p = asset(name);
    ASSERT_FALSE(p.rgb.empty()) << name;
    int holes = 0;
    for (int y = 0; y < p.h; ++y)
      for (int x = 0; x < p.w; ++x) holes += p.black(x, y);
    EXPECT_EQ(holes, 0) << name;
  }
  // The pointer is an arrow whose tip is its top-left pixel.
  Picture ptr = asset("dmpointer2.png");
  ASSERT_FALSE(ptr.rgb.empty());
  EXPECT_FALSE(ptr.black(0, 0));
  EXPECT_TRUE(ptr.black(19, 0));
  EXPECT_TRUE(ptr.black(0, 19));
}

TEST(GeneratedAssets, SheetFramesSitInsideTheirGrabWindows) {
  Picture p = asset("aerovane_sf1.png");
  ASSERT_FALSE(p.rgb.empty());
  std::vector<Window> wins = sheet_windows();
  std::vector<char> inside(static_cast<size_t>(p.w) * p.h, 0);
  for (const Window& w : wins)
    for (int y = w.y; y < w.y + w.h; ++y)
      for (int x = w.x; x < w.x + w.w; ++x) inside[static_cast<size_t>(y) * p.w + x] = 1;
  // Outside the windows (which includes the ring around each) all is black,
  // so a grab never picks up a neighbour's edge.
  int stray = 0;
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x)
      if (!inside[static_cast<size_t>(y) * p.w + x] && !p.black(x, y)) ++stray;
  EXPECT_EQ(stray, 0);

  for (const Window& w : wins) {
    Box b = visible_box(p, w);
    EXPECT_GT(b.count, 8) << w.what << " is empty";
    // Frames turn and scale about their centre, so the drawing must be centred.
    if (w.w == 48) {
      EXPECT_NEAR((b.x0 + b.x1) / 2.0, 23.5, 4.0) << w.what;
      EXPECT_NEAR((b.y0 + b.y1) / 2.0, 16.0, 4.0) << w.what;
    }
  }
  // The shot is what every hit test uses: small, but solid.
  Box shot = visible_box(p, wins[21]);
  EXPECT_LE(shot.x1 - shot.x0 + 1, 16);
  EXPECT_LE(shot.y1 - shot.y0 + 1, 8);
}

// The player must never be mistaken for an enemy: the player's plane reads
// red, the enemies' planes do not.
TEST(GeneratedAssets, PlayerAndEnemyPlanesDifferInColour) {
  Picture p = asset("aerovane_sf1.png");
  ASSERT_FALSE(p.rgb.empty());
  auto red_share = [&](int frame) {
    Window w = sheet_windows()[frame];
    double red = 0, n = 0;
    for (int y = w.y; y < w.y + w.h; ++y)
      for (int x = w.x; x < w.x + w.w; ++x)
        if (!p.black(x, y)) {
          red += p.r(x, y) > p.g(x, y) + 80 && p.r(x, y) > p.b(x, y) + 80;
          ++n;
        }
    return red / n;
  };
  for (int pl : {0, 1}) EXPECT_GT(red_share(pl), 0.25) << "frame " << pl;
  for (int en : {12, 13}) EXPECT_LT(red_share(en), 0.05) << "frame " << en;
}

TEST(GeneratedAssets, MountainStripsAreSolidBelowTheRidgeAndJoin) {
  Picture m[2] = {asset("aerovane_mts1.png"), asset("aerovane_mts2.png")};
  std::vector<int> ridge[2];
  for (int k = 0; k < 2; ++k) {
    ASSERT_FALSE(m[k].rgb.empty());
    int highest = m[k].h;
    for (int x = 0; x < m[k].w; ++x) {
      int top = 0;
      while (top < m[k].h && m[k].black(x, top)) ++top;
      ASSERT_LT(top, m[k].h - 20) << "strip " << k + 1 << " column " << x << " has no ground";
      // No holes below the skyline: a gap would let the plane fly through rock.
      for (int y = top; y < m[k].h; ++y)
        ASSERT_FALSE(m[k].black(x, y)) << "strip " << k + 1 << " at " << x << "," << y;
      ridge[k].push_back(top);
      highest = std::min(highest, top);
    }
    EXPECT_LT(highest, 15) << "strip " << k + 1 << " has no peak near the top";
  }
  EXPECT_NE(file_bytes(kSource / "assets" / "aerovane_mts1.png"),
            file_bytes(kSource / "assets" / "aerovane_mts2.png"));
  // Placed 414 apart, each strip's right edge meets the other's left edge.
  for (int k = 0; k < 2; ++k)
    for (int d = 0; d < 2; ++d)
      EXPECT_NEAR(ridge[k][414 + d], ridge[1 - k][d], 2) << "strip " << k + 1;
}

// Every file in data/ is read by the game's own loader: one it declines would play as silence.
TEST(GeneratedAssets, SoundsDecodeToSensibleLengthAndLevel) {
  const std::map<std::string, std::pair<double, double>> seconds = {
      {"fire.ogg", {0.05, 0.3}},      {"balloonpop.ogg", {0.1, 1.5}}, {"blimphit.ogg", {0.3, 3.0}},
      {"startstage.ogg", {0.5, 4.0}}, {"endstage.ogg", {0.5, 4.0}},   {"explode.ogg", {0.3, 3.0}},
      {"pldeath.ogg", {0.5, 4.0}},    {"bploop.ogg", {0.5, 5.0}}};
  std::set<std::string> found;
  for (const auto& entry : fs::directory_iterator(kSource / "data")) {
    const std::string name = entry.path().filename().string();
    found.insert(name);
    Decoded d = decode(entry.path());
    ASSERT_FALSE(d.pcm.empty()) << name << " is not read by the game's loader";
    ASSERT_TRUE(seconds.count(name)) << name << " is no sound of the game";
    EXPECT_TRUE(d.rate == 44100 || d.rate == 22050) << name;
    const double secs = static_cast<double>(d.pcm.size()) / d.channels / d.rate;
    EXPECT_GE(secs, seconds.at(name).first) << name;
    EXPECT_LE(secs, seconds.at(name).second) << name;
    int peak = 0;
    for (short v : d.pcm) peak = std::max(peak, std::abs(static_cast<int>(v)));
    EXPECT_LT(peak, 32767 * 0.95) << name << " clips";
    EXPECT_GT(peak, 32767 * 0.3) << name << " is too quiet";
  }
  EXPECT_EQ(found.size(), seconds.size()) << "a sound of the game is missing from data/";
}

// The engine sound repeats for as long as the plane flies: the step from its
// last sample back to its first must be no bigger than the steps inside it.
TEST(GeneratedAssets, EngineLoopJoinsWithoutAClick) {
  Decoded d = decode(kSource / "data" / "bploop.ogg");
  ASSERT_GT(d.pcm.size(), 1000u);
  const size_t ch = static_cast<size_t>(d.channels);
  for (size_t c = 0; c < ch; ++c) {
    std::vector<int> steps;
    for (size_t i = c + ch; i < d.pcm.size(); i += ch)
      steps.push_back(std::abs(d.pcm[i] - d.pcm[i - ch]));
    std::sort(steps.begin(), steps.end());
    int typical = steps[steps.size() * 99 / 100];
    int join = std::abs(d.pcm[c] - d.pcm[d.pcm.size() - ch + c]);
    EXPECT_LE(join, typical) << "channel " << c;
    EXPECT_LT(join, 32768 / 20) << "channel " << c;
  }
}
