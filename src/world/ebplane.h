#pragma once
// Enemy biplanes in the wrapping sky strip -2000..2640 (the screen shows 80..560).
// The stage is cleared when none is left.
class ebplane_tag {
 public:
  float x = 0.0f;
  int y = 0;
  float spd = 0.0f;  // own speed, -3.5..-0.5 or 0.5..3.5
  int dir = 0;       // 12 flying left, 13 right; also its frame of sprites

  virtual ~ebplane_tag() = default;

  // ebplane_num planes for a new stage.
  static int create_em();
  // Moves, draws and hit-tests one plane against the shots and the player.
  virtual int update();
  // Every plane, then the stage-clear test (only while playing).
  static int update_all();
  static int destroy_all();
};
