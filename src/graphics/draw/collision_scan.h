// The scanline test between two quads, shared by the collision layers and their tests.
#pragma once

class TQuad;

// True when the bounding boxes overlap (touching counts) and some pixel is covered
// by a solid texel of both quads.
bool QuadsCollide(const TQuad& a, const TQuad& b);
