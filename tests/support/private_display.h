#pragma once
// Gives the test program an X server of its own, once per process: a private Xvfb started
// by tools/xvfb.sh, the one launcher of every script here (a display the server finds free
// itself, -noreset, gone with the program). Programs that share one display take the
// focus from each other, feel each other's pointer moves and cover each other's windows.
// AV_GAME_SHARED_DISPLAY=1 keeps the display in $DISPLAY, and so does a machine without
// Xvfb; a server that does not start ends the program.
void use_private_display(int width = 640, int height = 480);
