#pragma once
// Balloons: targets the player must not hit. Popping one costs 150 x level points.
class balloon_tag {
 public:
  int x = 0;         // sky strip position, -2000..2640
  float y = 0.0f;    // kept within 95..300
  float dir = 0.0f;  // -0.2 rising, 0.2 sinking

  virtual ~balloon_tag() = default;

  // balloon_num balloons for a new stage.
  static int create_em();
  virtual int update();
  static int update_all();
  static int destroy_all();
};
