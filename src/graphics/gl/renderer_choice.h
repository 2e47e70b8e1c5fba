#pragma once
// Which renderer draws the game: the GL one where OpenGL is drawn by a GPU, our own
// software one where the GL would only be a software rasteriser or is not there at all.

#include <string>

enum class RendererKind { GL, Software };

// What the environment and the device nodes tell before any GL is loaded.
struct TRendererFacts {
  std::string asked;               // AEROVANE_RENDERER, empty when not set
  bool software_gl_asked = false;  // Mesa told to draw on the CPU
  bool gpu_device = false;         // a GPU's device node is there
};

struct TEarlyChoice {
  bool decided = false;
  RendererKind kind = RendererKind::GL;
  std::string warning;  // one line for stderr, or empty
};

// The choice as far as the facts make it; undecided means: ask the display.
TEarlyChoice ChooseRendererEarly(const TRendererFacts& facts);
// Whether a GL_RENDERER string names a software rasteriser.
bool IsSoftwareGL(const std::string& gl_renderer);

TRendererFacts ReadRendererFacts();
// The whole choice: the facts, then (only where they cannot tell) the display's GLX and a
// GL context made to ask. Prints the warning, if any, on stderr.
RendererKind ChooseRenderer();
