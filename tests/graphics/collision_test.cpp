// Pixel collision between placed image frames. These run without a display: with
// no drawing context the origin is (0, 0), and the matrix is set directly.
#include <gtest/gtest.h>

#include <cmath>  // NAN
#include <random>
#include <string>
#include <vector>

#include "graphics/draw/image.h"
#include "graphics/pixmap/pixmap.h"

namespace {

// '#' opaque, '.' clear, digits give alpha 127 ('7') and 128 ('8').
std::shared_ptr<TImage> art(const std::vector<std::string>& rows) {
  const int h = static_cast<int>(rows.size()), w = static_cast<int>(rows[0].size());
  auto pm = CreatePixmap(w, h, PixelRGBA8888);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const char c = rows[y][x];
      const int a = c == '#' ? 255 : c == '7' ? 127 : c == '8' ? 128 : 0;
      pm->WritePixel(x, y, static_cast<int>((static_cast<unsigned>(a) << 24) | 0xffffffu));
    }
  return LoadImage(pm, 0);
}

std::shared_ptr<TImage> box(int w, int h, char fill = '#') {
  return art(std::vector<std::string>(static_cast<std::size_t>(h), std::string(w, fill)));
}

class Collision : public ::testing::Test {
 protected:
  void SetUp() override {
    SetCollisionTransform(1, 0, 0, 1);
    ClearCollisionLayers(0);
  }
  void TearDown() override { SetCollisionTransform(1, 0, 0, 1); }
  std::shared_ptr<TImage> dot = box(1, 1);
};

TEST_F(Collision, TouchingBoxesNeedASharedSolidPixel) {
  auto a = box(10, 10), b = box(10, 10);
  EXPECT_EQ(ImagesOverlap(a, 0, 0, 0, b, 10, 0, 0), 0);  // boxes touch at x 10
  EXPECT_EQ(ImagesOverlap(a, 0, 0, 0, b, 0, 10, 0), 0);
  EXPECT_EQ(ImagesOverlap(a, 0, 0, 0, b, 9, 9, 0), 1);  // one shared pixel
  EXPECT_EQ(ImagesOverlap(a, 0, 0, 0, b, -9, -9, 0), 1);
  EXPECT_EQ(ImagesOverlap(a, 0, 0, 0, b, -10, 5, 0), 0);

  // Overlapping boxes whose solid parts do not meet: a ring around a dot.
  auto ring = art({"#####", "#...#", "#...#", "#...#", "#####"});
  EXPECT_EQ(ImagesOverlap(ring, 0, 0, 0, dot, 2, 2, 0), 0);
  EXPECT_EQ(ImagesOverlap(ring, 0, 0, 0, dot, 1, 1, 0), 0);
  EXPECT_EQ(ImagesOverlap(ring, 0, 0, 0, dot, 0, 3, 0), 1);
  EXPECT_EQ(ImagesOverlap(dot, 4, 4, 0, ring, 0, 0, 0), 1);
}

TEST_F(Collision, AlphaThresholdIs128) {
  auto a127 = box(4, 4, '7'), a128 = box(4, 4, '8');
  EXPECT_EQ(ImagesOverlap(a127, 0, 0, 0, dot, 1, 1, 0), 0);
  EXPECT_EQ(ImagesOverlap(dot, 1, 1, 0, a127, 0, 0, 0), 0);
  EXPECT_EQ(ImagesOverlap(a128, 0, 0, 0, dot, 1, 1, 0), 1);
  EXPECT_EQ(ImagesOverlap(a128, 0, 0, 0, a128, 3, 3, 0), 1);
}

TEST_F(Collision, MaskedPictureWithoutAlphaUsesTheMaskColour) {
  // An RGB picture: black becomes clear, anything else solid.
  auto pm = CreatePixmap(3, 1, PixelRGB888);
  pm->WritePixel(0, 0, 0x000000);
  pm->WritePixel(1, 0, 0x010000);
  pm->WritePixel(2, 0, 0x000000);
  SetMaskColor(0, 0, 0);
  auto masked = LoadImage(pm, MaskedImage);
  auto plain = LoadImage(pm, 0);
  EXPECT_EQ(ImagesOverlap(masked, 0, 0, 0, dot, 0, 0, 0), 0);
  EXPECT_EQ(ImagesOverlap(masked, 0, 0, 0, dot, 1, 0, 0), 1);
  EXPECT_EQ(ImagesOverlap(plain, 0, 0, 0, dot, 0, 0, 0), 1);  // no alpha: solid everywhere
}

TEST_F(Collision, HandlesPlaceTheFrame) {
  auto a = box(10, 10);
  CentreImageHandle(a);
  EXPECT_EQ(ImagesOverlap(a, 50, 50, 0, dot, 45, 45, 0), 1);
  EXPECT_EQ(ImagesOverlap(a, 50, 50, 0, dot, 54, 54, 0), 1);
  EXPECT_EQ(ImagesOverlap(a, 50, 50, 0, dot, 44, 50, 0), 0);
  EXPECT_EQ(ImagesOverlap(a, 50, 50, 0, dot, 55, 50, 0), 0);
  SetImageHandle(a, 10, 0);
  EXPECT_EQ(ImagesOverlap(a, 50, 50, 0, dot, 40, 50, 0), 1);
  EXPECT_EQ(ImagesOverlap(a, 50, 50, 0, dot, 50, 50, 0), 0);
}

TEST_F(Collision, RotationAndScaleTurnAndStretchBothFrames) {
  auto bar = box(20, 2);
  // 90 degrees clockwise: the bar hangs down from (100, 100) over pixels x 98..99,
  // y 100..119. The 1 x 1 probe turns too and covers the pixel left of its position.
  auto turned = [&](int x, int y) {
    return ImagesOverlapRotated(bar, 100, 100, 90, 1, 1, 0, dot, x, y, 90, 1, 1, 0);
  };
  EXPECT_EQ(turned(99, 110), 1);
  EXPECT_EQ(turned(100, 119), 1);
  EXPECT_EQ(turned(98, 110), 0);
  EXPECT_EQ(turned(101, 110), 0);
  EXPECT_EQ(turned(100, 120), 0);
  EXPECT_EQ(turned(105, 100), 0);  // where it lies unturned, as it does again afterwards
  EXPECT_EQ(ImagesOverlap(bar, 100, 100, 0, dot, 105, 100, 0), 1);

  // Scale 2 x 3: the 5 x 5 box covers 10 x 15, the probe 2 x 3.
  auto five = box(5, 5);
  auto scaled = [&](int x, int y) {
    return ImagesOverlapRotated(five, 0, 0, 0, 2, 3, 0, dot, x, y, 0, 2, 3, 0);
  };
  EXPECT_EQ(scaled(9, 14), 1);
  EXPECT_EQ(scaled(10, 0), 0);
  EXPECT_EQ(scaled(0, 15), 0);
}

TEST_F(Collision, TexelsFollowRotationAndMirroring) {
  // Left half solid.
  auto half = art({"##..", "##..", "##..", "##.."});
  auto probe = box(1, 1);
  // Probes are turned with everything else; a 1 x 1 probe under 180 degrees covers
  // the pixel up and left of its position.
  EXPECT_EQ(ImagesOverlap(half, 0, 0, 0, probe, 1, 2, 0), 1);
  EXPECT_EQ(ImagesOverlap(half, 0, 0, 0, probe, 2, 2, 0), 0);

  // Turned 180 degrees the picture covers x 0..3 from (4, 4), solid on the right.
  EXPECT_EQ(ImagesOverlapRotated(half, 4, 4, 180, 1, 1, 0, probe, 4, 3, 180, 1, 1, 0),
            1);  // (3, 2)
  EXPECT_EQ(ImagesOverlapRotated(half, 4, 4, 180, 1, 1, 0, probe, 2, 3, 180, 1, 1, 0),
            0);  // (1, 2)

  // Mirrored in x: the corners run the other way round and must be reordered.
  SetCollisionTransform(-1, 0, 0, 1);
  EXPECT_EQ(ImagesOverlap(half, 4, 0, 0, probe, 4, 2, 0), 1);  // pixel (3, 2)
  EXPECT_EQ(ImagesOverlap(half, 4, 0, 0, probe, 2, 2, 0), 0);  // pixel (1, 2)
}

TEST_F(Collision, MatchesAPixelByPixelReferenceUnrotated) {
  std::mt19937 rng(1234);
  auto random_art = [&](int w, int h) {
    std::vector<std::string> rows(static_cast<std::size_t>(h), std::string(w, '.'));
    for (auto& r : rows)
      for (char& c : r) c = (rng() % 3 == 0) ? '#' : '.';
    return rows;
  };
  for (int round = 0; round < 300; ++round) {
    const int w1 = 1 + static_cast<int>(rng() % 12), h1 = 1 + static_cast<int>(rng() % 12);
    const int w2 = 1 + static_cast<int>(rng() % 12), h2 = 1 + static_cast<int>(rng() % 12);
    auto r1 = random_art(w1, h1), r2 = random_art(w2, h2);
    const int x2 = static_cast<int>(rng() % 26) - 13, y2 = static_cast<int>(rng() % 26) - 13;
    int expected = 0;
    for (int y = 0; y < h1 && !expected; ++y)
      for (int x = 0; x < w1; ++x) {
        const int u = x - x2, v = y - y2;
        if (r1[y][x] == '#' && u >= 0 && u < w2 && v >= 0 && v < h2 && r2[v][u] == '#') {
          expected = 1;
          break;
        }
      }
    ASSERT_EQ(ImagesOverlap(art(r1), 0, 0, 0, art(r2), x2, y2, 0), expected) << "round " << round;
  }
}

TEST_F(Collision, LayersRecordTestAndClear) {
  auto a = std::make_shared<int>(1), b = std::make_shared<int>(2), c = std::make_shared<int>(3);
  EXPECT_TRUE(LayerTestRect(0, 0, 10, 10, 0, 1 << 0, a).empty());
  EXPECT_TRUE(LayerTestRect(5, 5, 10, 10, 0, 1 << 0, b).empty());
  EXPECT_TRUE(LayerTestRect(0, 0, 10, 10, 0, 1 << 3, c).empty());
  // Layer order, then newest first within a layer.
  TCollisionHits hits = LayerTestRect(6, 6, 2, 2, (1 << 0) | (1 << 3), 0);
  ASSERT_EQ(hits.size(), 3u);
  EXPECT_EQ(hits[0], b);
  EXPECT_EQ(hits[1], a);
  EXPECT_EQ(hits[2], c);
  EXPECT_EQ(LayerTestRect(12, 12, 2, 2, 1 << 0, 0).size(), 1u);

  // ImagesOverlap only uses layer 31, and leaves the first image's quad in it.
  EXPECT_EQ(ImagesOverlap(box(3, 3), 100, 100, 0, box(3, 3), 0, 0, 0), 0);
  EXPECT_EQ(LayerTestRect(6, 6, 2, 2, 1 << 0, 0).size(), 2u);
  EXPECT_EQ(LayerTestRect(101, 101, 1, 1, 1 << 31, 0).size(), 1u);

  ClearCollisionLayers(1 << 3);
  EXPECT_EQ(LayerTestRect(6, 6, 2, 2, (1 << 0) | (1 << 3), 0).size(), 2u);
  ClearCollisionLayers(0);  // all of them
  EXPECT_TRUE(LayerTestRect(6, 6, 2, 2, -1, 0).empty());
  hits.clear();
  // Cleared quads let go of the caller's objects.
  EXPECT_EQ(a.use_count(), 1);
}

// Testing one image against many keeps its quad in layer 31 between calls; whatever
// changes the layer or the picture in between must still be seen.
TEST_F(Collision, RepeatedOverlapTestsSeeChangesInBetween) {
  auto a = box(4, 4);
  EXPECT_EQ(ImagesOverlap(a, 0, 0, 0, dot, 2, 2, 0), 1);
  EXPECT_EQ(ImagesOverlap(a, 0, 0, 0, dot, 9, 9, 0), 0);
  // Quads added to layer 31 by hand go at the next overlap test, even the same one.
  LayerTestImage(a, 0, 0, 0, 0, 1 << 31);
  EXPECT_EQ(LayerTestRect(1, 1, 1, 1, 1 << 31, 0).size(), 2u);
  EXPECT_EQ(ImagesOverlap(a, 0, 0, 0, dot, 9, 9, 0), 0);
  EXPECT_EQ(LayerTestRect(1, 1, 1, 1, 1 << 31, 0).size(), 1u);
  ClearCollisionLayers(1 << 31);
  auto mine = std::make_shared<int>(5);
  LayerTestImage(a, 0, 0, 0, 0, 1 << 31, mine);
  EXPECT_EQ(ImagesOverlap(a, 0, 0, 0, dot, 9, 9, 0), 0);
  EXPECT_EQ(mine.use_count(), 1);  // the caller's quad has gone
  // A new picture at the same place, and pixels changed in place.
  a->SetPixmap(0, CreatePixmap(4, 4, PixelRGBA8888));
  a->pixmaps[0]->ClearPixels(0);
  EXPECT_EQ(ImagesOverlap(a, 0, 0, 0, dot, 2, 2, 0), 0);
  a->pixmaps[0]->WritePixel(2, 2, static_cast<int>(0xff000000u));
  EXPECT_EQ(ImagesOverlap(a, 0, 0, 0, dot, 2, 2, 0), 1);
  // Another frame or a cleared layer.
  ClearCollisionLayers(1 << 31);
  EXPECT_EQ(ImagesOverlap(a, 0, 0, 0, dot, 2, 2, 0), 1);
  EXPECT_EQ(ImagesOverlap(a, 0, 0, 1, dot, 2, 2, 0), 0);
  EXPECT_TRUE(LayerTestRect(0, 0, 4, 4, 1 << 31, 0).empty());
}

TEST_F(Collision, QuadsTestAgainstQuads) {
  TQuad q;
  q.SetCoords(0, 0, 10, 0, 10, 10, 0, 10);
  EXPECT_EQ(q.minx, 0);
  EXPECT_EQ(q.maxy, 10);
  EXPECT_EQ(q.xyuv[2 * 4 + 2], 1.0f);  // third corner u, v = (1, 1)
  q.id = std::make_shared<int>(7);
  LayerTestQuad(q, 0, 1 << 5);
  TQuad diamond;
  diamond.SetCoords(15, 5, 20, 10, 15, 15, 10, 10);  // touches the square's corner only
  EXPECT_TRUE(LayerTestQuad(diamond, 1 << 5, 0).empty());
  diamond.SetCoords(12, 5, 17, 10, 12, 15, 7, 10);
  EXPECT_EQ(LayerTestQuad(diamond, 1 << 5, 0).size(), 1u);
}

TEST_F(Collision, BadArgumentsGiveNoHit) {
  auto a = box(4, 4);
  EXPECT_EQ(ImagesOverlap(nullptr, 0, 0, 0, a, 0, 0, 0), 0);
  EXPECT_EQ(ImagesOverlap(a, 0, 0, 0, nullptr, 0, 0, 0), 0);
  EXPECT_EQ(ImagesOverlap(a, 0, 0, 1, a, 0, 0, 0), 0);
  EXPECT_EQ(ImagesOverlap(a, 0, 0, 0, a, 0, 0, -1), 0);
  SetCollisionTransform(NAN, 0, 0, NAN);
  EXPECT_EQ(ImagesOverlap(a, 0, 0, 0, a, 0, 0, 0), 0);
}

TEST_F(Collision, AbsurdSizesGiveAnAnswerInBoundedTime) {
  // Scaled past the 2^30 clamp on every side: spans and edges wider than an int.
  auto solid = box(4, 4), clear = box(4, 4, '.');
  for (const auto& image : {solid, clear}) CentreImageHandle(image);
  EXPECT_EQ(ImagesOverlapRotated(solid, 0, 0, 0, 1e9f, 1e9f, 0, solid, 0, 0, 0, 1e9f, 1e9f, 0), 1);
  EXPECT_EQ(ImagesOverlapRotated(clear, 0, 0, 0, 1e9f, 1e9f, 0, solid, 0, 0, 0, 1e9f, 1e9f, 0), 0);
  // A turned giant whose top is far above the screen still covers a dot on it.
  EXPECT_EQ(ImagesOverlapRotated(solid, 0, 0, 30, 1e9f, 1e9f, 0, dot, 300, 200, 0, 1, 1, 0), 1);
}

}  // namespace
