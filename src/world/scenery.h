#pragma once
// The two scenery layers: clouds at their own stereo depths, and the two mountain
// strips whose scroll speed mspd is the world scroll every other layer follows.
class cloud_tag {
 public:
  float x = 0.0f;  // cloud strip position, -1000..1640
  int y = 0;
  float spd = 0.0f;    // own drift, -1.5..1.5
  int offs = 0;        // stereo offset, 0..-9
  float scale = 0.0f;  // 0.5..1.0

  virtual ~cloud_tag() = default;

  // The 19 clouds of a stage.
  static int create_em();
  virtual int update();
  static int update_all();
  static int destroy_all();
};

class mountain_tag {
 public:
  int mt1_x = 0;  // left edges of the two strips
  int mt2_x = 0;
  int mspd = 0;  // -4 while the player faces right, 4 while it faces left

  virtual ~mountain_tag() = default;

  // Scrolls and draws both strips and destroys a plane that touches them.
  virtual int update();
};
