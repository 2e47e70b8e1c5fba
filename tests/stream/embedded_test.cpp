// The build carries every picture and font of assets/ inside the program, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "graphics/pixmap/pixmap.h"
#include "scratch_dir.h"
#include "stream/embedded.h"
#include "stream/stream.h"

namespace fs = std::filesystem;

TEST(EmbeddedFiles, EveryAssetIsRegisteredUnderItsFileName) {
  register_embedded_files();
  register_embedded_files();  // the names are already there; nothing changes
  init_pixmap_module();

  for (const auto& entry : fs::directory_iterator(fs::path(AV_SOURCE_DIR) / "assets")) {
    const std::string name = entry.path().filename().string();
    const std::string ext = entry.path().extension().string();
    if (ext != ".png" && ext != ".ttf") {
      EXPECT_FALSE(read_file("incbin::" + name)) << name << " should stay out of the program";
      continue;
    }
    const std::vector<uint8_t> want = file_bytes(entry.path());

    auto s = read_file("incbin::" + name);
    ASSERT_TRUE(s) << name;
    ASSERT_EQ(s->Size(), static_cast<int>(want.size())) << name;
    std::vector<uint8_t> got(want.size());
    s->ReadBytes(got.data(), static_cast<int>(got.size()));
    EXPECT_EQ(got, want) << name;

    if (ext == ".png") {
      auto pm = LoadPixmap("incbin::" + name);
      ASSERT_TRUE(pm) << name;
      EXPECT_GT(pm->width, 0);
    }
  }
}
