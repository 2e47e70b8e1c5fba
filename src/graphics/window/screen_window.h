#pragma once
// The window the game's screen is shown in, whichever renderer draws the screen: video
// start-up, opening and placing the window, full screen and window at F11 / Alt+Enter,
// the focus rules of full screen, the icon, and where in the window the screen shows (the
// letterbox, and the area the platform maps the pointer through).

#include <vector>

#include "graphics/gl/graphics.h"

struct SDL_Window;

// What a graphics record stands for.
enum class WindowKind : int { SharedHidden = 0, Attached = 1, Windowed = 2, FullScreen = 3 };

// One window a screen is shown in, listed newest first. A renderer's graphics record
// derives from it.
struct TScreenWindow {
  TScreenWindow* next = nullptr;
  WindowKind kind = WindowKind::SharedHidden;
  int width = 0, height = 0, depth = 0, hertz = 0, flags = 0;  // of the screen
  SDL_Window* window = nullptr;
  bool own_window = false;
  // The screen is drawn apart from the window and shown in it letterboxed; otherwise it
  // is drawn straight into the window, which has its size.
  bool offscreen = false;
  bool windowed = false;  // full screen, shown in a window at the player's choice
  bool minimised_by_us = false;
  int area[4] = {-1, -1, -1, -1};  // last screen area told to the platform layer

  virtual ~TScreenWindow() = default;
  // The window's size in pixels, as the renderer draws into it.
  virtual void DrawableSize(int& w, int& h) const = 0;
  // Full screen was taken or given up: whatever the renderer remembers of the display
  // (the GL its swap interval) must be set anew at the next present.
  virtual void DisplayChanged() {}
};

// Starts SDL's video once. False, with the reason in GraphicsError, when there is no
// display to show a window on.
bool StartVideo();
// The first display's modes, at most 1024, none below 16 bits per pixel.
std::vector<TGraphicsMode> DisplayModes();

// A hidden window titled AppTitle() for a width x height screen: full (over the desktop,
// or a resizable window where the player chose one), else width x height at (32, 32).
// extra_flags: the SDL window flags the renderer needs. None, with the reason in
// GraphicsError, when the system refuses.
SDL_Window* OpenScreenWindow(int width, int height, bool full, unsigned extra_flags);
// A full-screen window that cannot show the screen scaled becomes a plain window of the
// screen's size at (32, 32).
void MakePlainWindow(SDL_Window* window, int width, int height);

// Lists the record, newest first.
void LinkScreenWindow(TScreenWindow& r);
// Takes the window's events and F11 / Alt+Enter, gives it the icon, shows it (raised, for
// full screen) and tells the platform where its screen is.
void ShowScreenWindow(TScreenWindow& r);
// Takes the record off the list; it is neither current nor full screen any more. True
// when it was current.
bool UnlinkScreenWindow(TScreenWindow& r);
// Gives the pointer to the current window, destroys the record's window when it was made
// here, and lets go of the window events once no window is left.
void CloseScreenWindow(TScreenWindow& r);

TScreenWindow* CurrentScreenWindow();
void SetCurrentScreenWindow(TScreenWindow* r);
// The platform's pointer and screen area follow the record's window.
void AttachScreenWindow(TScreenWindow& r);

// Full-screen graphics shown in a resizable window (true) or over the whole desktop: the
// choice for graphics made from now on, and for the current ones at once.
void SetWindowPreferred(bool windowed);
bool WindowPreferred();

// Where the screen shows in a drawable of dw x dh pixels, out = x, y, w, h from the
// top-left: the largest rectangle of the screen's shape, centred (the top and right
// borders take the odd pixel). Sharp where the scale is a whole number.
void LetterboxRect(const TScreenWindow& r, int dw, int dh, int out[4]);
// Tells the platform where the screen shows, in window coordinates (pointer mapping).
void UpdateScreenArea(TScreenWindow& r);
