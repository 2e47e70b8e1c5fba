#include "gl_fixture.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "graphics/draw/draw2d.h"
#include "graphics/gl/graphics.h"
#include "graphics/pixmap/pixmap.h"
#include "private_display.h"

bool gl_fixture_open(std::string* why) {
  static bool tried = false;
  static bool ok = false;
  static std::string reason;
  if (!tried) {
    tried = true;
    // An X server of our own: one shared with other programs resets when its last client
    // leaves and drops whoever connects meanwhile (the next write dies of SIGPIPE).
    use_private_display(1280, 1024);
    init_graphics_module();
    init_pixmap_module();
    SetAppTitle("graphics test");
    ok = OpenGraphics(640, 480, 0, 0, BackBuffer) != nullptr;
    if (!ok) reason = GraphicsError();
  }
  if (why) *why = reason;
  return ok;
}

void gl_fixture_reset() {
  SetViewport(0, 0, GraphicsWidth(), GraphicsHeight());
  SetOrigin(0, 0);
  SetHandle(0, 0);
  SetRotationScale(0, 1, 1);
  SetLineWidth(1);
  SetBlend(MaskBlend);
  SetAlpha(1);
  SetColor(255, 255, 255);
  SetClsColor(0, 0, 0);
  SetImageFont(nullptr);
  Cls();
}

std::shared_ptr<TPixmap> grab_screen() {
  return GrabPixmap(0, 0, GraphicsWidth(), GraphicsHeight());
}

uint32_t screen_rgb(int x, int y) {
  std::shared_ptr<TPixmap> p = GrabPixmap(x, y, 1, 1);
  if (!p) return 0xFFFFFFFFu;
  const uint8_t* px = p->PixelPtr(0, 0);
  return (uint32_t{px[0]} << 16) | (uint32_t{px[1]} << 8) | px[2];
}

int count_rgb(int x, int y, int w, int h, uint32_t rgb) {
  std::shared_ptr<TPixmap> p = GrabPixmap(x, y, w, h);
  if (!p) return -1;
  int n = 0;
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      const uint8_t* px = p->PixelPtr(i, j);
      if (((uint32_t{px[0]} << 16) | (uint32_t{px[1]} << 8) | px[2]) == rgb) ++n;
    }
  }
  return n;
}

bool lit_bounds(int& x0, int& y0, int& x1, int& y1) {
  std::shared_ptr<TPixmap> p = grab_screen();
  x0 = y0 = 1 << 30;
  x1 = y1 = -1;
  if (!p) return false;
  for (int j = 0; j < p->height; ++j) {
    for (int i = 0; i < p->width; ++i) {
      const uint8_t* px = p->PixelPtr(i, j);
      if (px[0] | px[1] | px[2]) {
        x0 = std::min(x0, i);
        y0 = std::min(y0, j);
        x1 = std::max(x1, i);
        y1 = std::max(y1, j);
      }
    }
  }
  return x1 >= 0;
}

std::shared_ptr<TPixmap> desktop_shot() {
  init_pixmap_module();
  const std::string file = ::testing::TempDir() + "av_desktop_" + std::to_string(getpid()) + ".png";
  if (std::system(("import -window root PNG24:" + file).c_str()) != 0) return nullptr;
  std::shared_ptr<TPixmap> shot = LoadPixmap(file);
  std::remove(file.c_str());
  return shot;
}

void GLTest::SetUp() {
  std::string why;
  ASSERT_TRUE(gl_fixture_open(&why)) << "no display: " << why;
  gl_fixture_reset();
}

// SDL's video start-up leaves one allocation of the system's D-Bus library behind; it is
// not ours and cannot be freed from here.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }
