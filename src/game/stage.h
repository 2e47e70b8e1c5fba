#pragma once
// The stage flow: one frame of play, of the dying pause and of "Game Over!", and the
// emptying of the world between stages. The blimp is driven from here too.
#include "world/blimp.h"

// One frame of game_state 2, by play_phase: fly-in, in control, stage cleared.
int run_play();
// One frame of game_state 6: the world goes on without the player for 250 frames.
int run_dying();
// One frame of game_state 5: "Game Over!" for 250 frames, then the title menu.
int run_game_over();
// Retires the blimp and empties every object list (not the player or the mountains).
int clear_world();
