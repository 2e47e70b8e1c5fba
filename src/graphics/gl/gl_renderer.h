#pragma once
// What the OpenGL renderer keeps between calls, shared by its files: gl2d.cpp (state and
// primitives) and gl_frame.cpp (textures and frames). Only for src/graphics/gl.

#include <SDL_opengl.h>

#include "graphics/render/quad_batch.h"
#include "graphics/render/render_state.h"

struct TGL2DState {
  TRenderState state;  // as the driver was handed it
  // On a software GL every draw call and state change costs set-up on the CPU, so
  // primitives of one kind and one texture wait here and go out as one vertex array. The
  // GL state they depend on (blend, scissor, line width, texture) is changed only after
  // they have gone, so every pixel comes out as if drawn one by one.
  TQuadBatch batch;
  // What the GL has: valid for the context ResetGLContext last prepared.
  GLuint bound_texture = 0;
  bool texturing = false;
  bool color_sent = false;        // whether the GL's current colour is state.color
  float line_width_sent = -1.0f;  // -1: none yet
  bool arrays_on = false;         // whether the vertex arrays point at the batch
};

// A plain global: frames released at exit may still flush after other statics are gone.
extern TGL2DState g_gl2d;

// Draws what waits in the batch.
void gl2d_flush();
// Room for n vertices of this kind and texture (0: none), drawing first what cannot share.
float* gl2d_room(TBatchKind kind, GLuint texture, int n);
void gl2d_texture_off();
void gl2d_texture_on(GLuint name);
// One immediate-mode vertex: the local point by the matrix, moved by (tx, ty).
void gl2d_vertex(float px, float py, float tx, float ty);
