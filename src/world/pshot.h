#pragma once
// The player's bullets. Targets walk pshot_list themselves and remove what hits them.
class pshot_tag {
 public:
  int x = 0;
  int y = 0;
  int spd = 0;  // -8 flying left, 8 flying right

  virtual ~pshot_tag() = default;

  // One shot in front of the player's plane, appended to pshot_list.
  static int fire();
  virtual int update();
  static int update_all();
  static int destroy_all();
};
