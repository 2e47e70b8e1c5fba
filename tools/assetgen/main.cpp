// assetgen: writes every picture, the font and every sound of the game.
//
//   assetgen <root>
//
// Pictures and the font go to <root>/assets, sounds to <root>/data and the
// review sheet to <root>/docs/assets.png. The output depends on nothing but
// this source and the font file, so a rerun reproduces the committed files.
#include "art.h"
#include "sound.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

// The game's lettering is a free font from the system's font package; its
// licence allows embedding as long as the font itself is not altered.
#ifndef AV_FONT_SOURCE
#define AV_FONT_SOURCE "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
#endif
#ifndef AV_FONT_LICENCE
#define AV_FONT_LICENCE "/usr/share/doc/fonts-dejavu-core/copyright"
#endif

static void copy_bytes(const fs::path& from, const fs::path& to) {
  std::ifstream in(from, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + from.string());
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  out << in.rdbuf();
  if (!out) throw std::runtime_error("cannot write " + to.string());
}

// size x size: a rounded sky square with the plane's pixels enlarged over it (its black is
// clear). The plane stays whole pixels at every size: 1x up to 127, 2x at 128, 4x at 256.
static ag::Canvas make_icon(const ag::Canvas& plane, int size = 128) {
  const int r = size / 8, far = size - 1 - r;
  ag::Canvas icon(size, size, ag::Rgb{24, 40, 72});
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const int dx = x < r ? r - x : (x > far ? x - far : 0);
      const int dy = y < r ? r - y : (y > far ? y - far : 0);
      if (dx * dx + dy * dy > r * r) continue;  // outside the rounded corners
      icon.set(x, y, ag::mix(ag::Rgb{92, 150, 226}, ag::Rgb{190, 220, 246}, y / double(size - 1)));
    }
  }
  const ag::Canvas big = size >= 128 ? plane.scaled(size / 64) : plane;
  const int ox = (size - big.w()) / 2, oy = (size - big.h()) / 2;
  for (int y = 0; y < big.h(); ++y)
    for (int x = 0; x < big.w(); ++x)
      if (!(big.get(x, y) == ag::kClear)) icon.set(ox + x, oy + y, big.get(x, y));
  return icon;
}

// The desktop icons, drawn anew at each size the package installs.
static void write_icons(const ag::Canvas& plane, const fs::path& dir) {
  fs::create_directories(dir);
  for (int size : {48, 64, 128, 256})
    ag::write_png(make_icon(plane, size),
                  (dir / ("aerovane-" + std::to_string(size) + ".png")).string());
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: assetgen <output root>\n";
    return 2;
  }
  try {
    const fs::path root = argv[1];
    const fs::path font_src = AV_FONT_SOURCE;
    const fs::path assets = root / "assets", data = root / "data", docs = root / "docs";
    fs::create_directories(assets);
    fs::create_directories(data);
    fs::create_directories(docs);

    // The font ships unchanged; its licence text sits beside it in assets/.
    copy_bytes(font_src, assets / "skyfont.ttf");
    copy_bytes(AV_FONT_LICENCE, assets / "skyfont-LICENCE.txt");
    ag::Lettering font((assets / "skyfont.ttf").string());

    ag::SheetParts parts = ag::make_sprites();
    ag::Canvas sheet = ag::assemble_sheet(parts);
    ag::Canvas backdrop = ag::make_backdrop();
    ag::Canvas m1 = ag::make_mountains(1), m2 = ag::make_mountains(2);
    ag::Canvas pointer = ag::make_pointer();
    ag::Canvas title = ag::make_title(font);
    ag::Canvas logo = ag::make_logo(font);

    ag::write_png(sheet, (assets / "aerovane_sf1.png").string());
    ag::write_png(backdrop, (assets / "aerovane_bkgr.png").string());
    ag::write_png(m1, (assets / "aerovane_mts1.png").string());
    ag::write_png(m2, (assets / "aerovane_mts2.png").string());
    ag::write_png(pointer, (assets / "dmpointer2.png").string());
    ag::write_png(title, (assets / "aerovane_ttl.png").string());
    ag::write_png(logo, (assets / "qnlogo.png").string());

    int serial = 0x41560001;
    for (const ag::SoundFile& s : ag::make_sounds())
      ag::write_ogg(s.samples, ag::sample_rate(), (data / s.name).string(), serial++);

    ag::write_png(
        ag::make_contact_sheet(parts, sheet, backdrop, title, logo, m1, m2, pointer, font),
        (docs / "assets.png").string());

    // The desktop icons: the player's plane on a patch of sky.
    write_icons(parts.frames[1], root / "dist" / "icons");
    ag::write_png(make_icon(parts.frames[1]),
                  (assets / "aerovane_icon.png").string());  // on the window
  } catch (const std::exception& e) {
    std::cerr << "assetgen: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
