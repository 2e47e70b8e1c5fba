// The renderer chosen before any GL is loaded, wherever the machine already tells.
#include "graphics/gl/renderer_choice.h"

#include <gtest/gtest.h>

TEST(RendererChoice, TheVariableOverridesAndAnUnknownValueWarnsAndChoosesByTheMachine) {
  struct Case {
    const char* asked;
    bool software_gl, gpu;
    bool decided;
    RendererKind kind;
    bool warns;
  };
  const RendererKind gl = RendererKind::GL, soft = RendererKind::Software;
  for (const Case c : {
           Case{"gl", true, false, true, gl, false},          // asked for, on any machine
           Case{"software", false, true, true, soft, false},  //
           Case{"", true, true, true, soft, false},           // Mesa told to draw on the CPU
           Case{"", false, false, true, soft, false},         // no GPU device node
           Case{"", false, true, false, gl, false},           // only the display can tell
           Case{"GL", false, true, false, gl, true},          // the names are lower case
           Case{"vulkan", false, false, true, soft, true},
       }) {
    SCOPED_TRACE(std::string("asked '") + c.asked + "', software GL " +
                 std::to_string(c.software_gl) + ", GPU " + std::to_string(c.gpu));
    const TEarlyChoice got = ChooseRendererEarly({c.asked, c.software_gl, c.gpu});
    EXPECT_EQ(got.decided, c.decided);
    if (c.decided) EXPECT_EQ(got.kind, c.kind);
    EXPECT_EQ(!got.warning.empty(), c.warns) << got.warning;
    if (c.warns) EXPECT_NE(got.warning.find(c.asked), std::string::npos) << got.warning;
  }
}

TEST(RendererChoice, SoftwareRasterisersAreKnownByTheirGLRendererNames) {
  for (const char* name :
       {"llvmpipe (LLVM 15.0.6, 256 bits)", "softpipe", "Mesa X11 swrast", "Software Rasterizer"})
    EXPECT_TRUE(IsSoftwareGL(name)) << name;
  for (const char* name :
       {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", "AMD Radeon RX 6600 (radeonsi)",
        "NVIDIA GeForce GTX 1060/PCIe/SSE2", ""})
    EXPECT_FALSE(IsSoftwareGL(name)) << name;
}
