#pragma once
// The player's biplane and the running totals of a game. The plane stays in a band of
// the screen; turning reverses the world scroll (mountains->mspd).
class player_tag {
 public:
  int score = 0;
  int best_sc = 0;
  int new_bs = 0;  // 1 once best_sc was beaten in this game
  int lives = 0;
  int level = 0;  // stage number; multiplies every score change
  int dir = 0;    // 0 facing left, 1 right; also its frame of sprites
  float x = 0.0f, y = 0.0f;
  float rotation = 0.0f, scale = 0.0f;  // unused, kept for the record layout
  int frame = 0, a_tmr = 0, a_ctr = 0;  // unused likewise

  virtual ~player_tag() = default;

  // Prepares a stage (and with new_game a new game) on the global player. While
  // first_run is 1 only the new-game totals are set.
  static int reset(int new_game);
  // One tick under player control (play phase 1).
  virtual int update();
  // One tick of the fly-in (play phase 0); ends it at x 200.
  virtual int update2();
  // Reads keys and joystick; only in play phase 1.
  virtual int get_inputs();
  // The global player's plane is destroyed: explosion, wreckage, dying state.
  static int init_death();
};
