#pragma once
// The game program: start-up and shutdown, the main loop and its states, the menus,
// the frame around every pass (backdrop, score display, retro lines, side bars) and
// the data files. The stage flow itself is in game/stage.h.
#include <string>
#include <vector>

// ---- start-up (startup.cpp) ----

// The single world objects, empty lists and the blank images the sheet is cut into.
int create_world_objects();
// Loads the font, the pictures and the sounds, and cuts the sprite sheet.
int load_resources();
// The opening logo, dy pixels from the vertical centre; ends early on a key or click.
int splash(int dy);
// Enumerates the joysticks (joycount.cpp); start-up does not use the count.
int count_joysticks();

// ---- main loop (mainloop.cpp) ----

// Where the pointer is put on the way into a menu: on item 0, so one click resumes or
// starts a game.
constexpr int pointer_home_x = 316;
constexpr int pointer_home_y = 242;

// Runs passes until quit_flag is set; one pass is one presented frame.
int main_loop();
// Escape, Space, joystick button 2 and the close request.
int global_keys();
// Holds everything while the window is inactive.
int suspend_wait();
// Presents the finished frame (paced to 60 Hz) after giving the run's frame hook a look.
int present_frame();

// ---- menus (menu.cpp) ----

// Built once at start-up.
extern std::vector<std::string> menu_items;
extern std::vector<std::string> glasses_labels;
extern std::vector<std::string> onoff_labels;
extern std::vector<std::string> volume_labels;
// Where the joystick last put the pointer.
extern int menu_mx, menu_my;
// The version and credit line under the menu.
extern const char* const version_line;

int build_menu_labels();
// The text of item 0..5 as the menu of the current game_state shows it.
std::string menu_item_text(int item);
// What a click on item sel (0..5) does; any other sel does nothing.
int menu_choose(int sel);
// One frame of the title menu (game_state 4) or the pause menu (3).
int run_menu();
// Moves the system pointer 6 pixels a frame with the joystick held to an end stop.
int menu_joystick_pointer();
// One click on a volume item: 0.1 more (added, not recomputed from the step), and after
// the eleventh step back to 0.
int step_volume(int& step, float& volume);

// ---- frame drawing (frame.cpp) ----

// Clears the back buffer and draws the sky.
int draw_backdrop();
// Score, best score, stage and the spare planes.
int draw_hud();
// Darkens every odd screen row with the given grey when the retro option is on.
int retro_lines(int grey);
// grab non-zero: captures the two black bar images; 0: draws them.
int side_bars(int grab);
// "00", "07", "150": numbers under 10 get a leading zero.
std::string hud_number(int value);

// ---- data files (datafiles.cpp) ----

// Path names as the game writes them; the stream layer maps them onto the data folder.
extern const char* const hiscore_path;
extern const char* const anaglyph_path;
extern const char* const window_path;
extern const char* const options_path;

// Replaces the data file at path (as the game writes it) with the values, 4 bytes each:
// through a symlink to the file it names, keeping the file's permissions; in place
// when the folder takes no new file. False when it could not, with one line on
// standard error (none when there is no data folder at all); but for a failure in
// place, the old file is then untouched.
bool write_data_ints(const std::string& path, const std::vector<int>& values);
bool write_data_int(const std::string& path, int value);
// save 0 loads player->best_sc, non-zero saves it.
int hiscore_file(int save);
// 1 load mode3d, 2 save it; then (and with 0 only) apply its eye colours to draw3d.
int anaglyph_file(int mode);
// save 0 reads the retro lines and the two volume steps (a volume as the menu reaches
// that step), non-zero saves them: three ints, retro_fx, sfx_step, engine_step.
int options_file(int save);
// Leaving the menus: the glasses type and the options are saved if they changed.
int options_menu_left();
// save 0 reads the choice of a window over full screen and hands it to the display (call
// it before the display opens); non-zero saves the display's choice.
int window_file(int save);
