#pragma once
// Gives the test program an X server of its own (a private Xvfb), once per process.
// Programs that share one display take the focus from each other, feel each other's
// pointer moves and cover each other's windows. AV_GAME_SHARED_DISPLAY=1 keeps the
// display in $DISPLAY; without Xvfb the given display is kept too.
void use_private_display(int width = 640, int height = 480);
