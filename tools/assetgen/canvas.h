// Small RGB drawing surface for the asset generator. Everything here is
// deterministic: integer pixel tests, our own random numbers and noise, so the
// same source always writes the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ag {

struct Rgb {
  int r = 0, g = 0, b = 0;
};

inline bool operator==(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// Black is the game's transparent colour; drawn pixels use at least this.
constexpr Rgb kInk{1, 1, 1};
constexpr Rgb kClear{0, 0, 0};

Rgb mix(Rgb a, Rgb b, double t);
Rgb scale(Rgb c, double k);
Rgb clamp_visible(Rgb c);  // clamps to 0..255 and lifts exact black to (1, 1, 1)
double clamp01(double v);

class Canvas {
 public:
  Canvas() = default;
  Canvas(int w, int h, Rgb fill = kClear);

  int w() const { return w_; }
  int h() const { return h_; }
  bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < w_ && y < h_; }
  Rgb get(int x, int y) const;
  void set(int x, int y, Rgb c);
  // Paints c over the pixel with coverage a (0..1).
  void blend(int x, int y, Rgb c, double a);
  void add(int x, int y, Rgb c, double k);

  void fill(Rgb c);
  void rect(int x, int y, int w, int h, Rgb c);
  // Crisp shapes: a pixel is painted when its centre lies inside.
  void ellipse(double cx, double cy, double rx, double ry, Rgb c);
  void polygon(const std::vector<double>& xy, Rgb c);
  void line(int x0, int y0, int x1, int y1, Rgb c);
  // Dark rim around every drawn pixel that touches the clear background.
  void outline(Rgb c, bool diagonal = false);

  void blit(const Canvas& src, int dx, int dy);
  Canvas flipped_x() const;
  Canvas scaled(int k) const;  // nearest-neighbour enlargement

  const std::vector<uint8_t>& bytes() const { return px_; }

 private:
  int w_ = 0, h_ = 0;
  std::vector<uint8_t> px_;
};

// Writes an 8-bit RGB PNG with fixed compression settings and no time stamp.
void write_png(const Canvas& c, const std::string& path);

// splitmix64: tiny, portable, identical everywhere (std distributions are not).
class Rng {
 public:
  explicit Rng(uint64_t seed) : s_(seed) {}
  uint64_t next();
  double real();  // [0, 1)
  double real(double a, double b) { return a + (b - a) * real(); }
  int range(int a, int b);  // a..b inclusive

 private:
  uint64_t s_;
};

// Value noise on an integer lattice, optionally wrapping in x with period px
// (in lattice cells) so a strip can tile.
class Noise {
 public:
  explicit Noise(uint64_t seed, int period_x = 0) : seed_(seed), px_(period_x) {}
  double at(double x, double y) const;  // 0..1
  double fbm(double x, double y, int octaves, double gain = 0.5) const;

 private:
  double lattice(int x, int y) const;
  uint64_t seed_;
  int px_;
};

}  // namespace ag
