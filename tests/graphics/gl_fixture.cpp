#include "gl_fixture.h"

#include <cstdlib>

#include "graphics/draw/draw2d.h"
#include "graphics/gl/graphics.h"
#include "graphics/pixmap/pixmap.h"
#include "private_display.h"
#include "scratch_dir.h"

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

std::shared_ptr<TPixmap> desktop_shot() {
  init_pixmap_module();
  const scratch_dir dir;
  const std::string file = dir.file("desktop.png");
  if (std::system(("import -window root PNG24:" + file).c_str()) != 0) return nullptr;
  return LoadPixmap(file);
}

void GLTest::SetUp() {
  std::string why;
  ASSERT_TRUE(gl_fixture_open(&why)) << "no display: " << why;
  gl_fixture_reset();
}
