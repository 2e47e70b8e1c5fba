#pragma once
// The blimp that crosses the sky now and then. Its state lives in the blimp_* globals.
// It sits with the world classes because a stage start (player_tag::reset) places it.

// setup non-zero: places a new blimp for the stage. 0: moves, draws and hit-tests it.
int blimp(int setup);
