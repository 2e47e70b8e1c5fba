#pragma once
// Short-lived decorations of hits and crashes. None collides with anything; each
// removes itself from its list when it has run its course.
#include <string>

class smoke_tag {
 public:
  float x = 0.0f, y = 0.0f;
  int rot = 0;
  float scale = 0.0f;
  float alpha = 0.0f;

  virtual ~smoke_tag() = default;
  static int create_it(float x, float y);
  virtual int update();
  static int update_all();
  static int destroy_all();
};

class particle_tag {
 public:
  float x = 0.0f, y = 0.0f;
  float xs = 0.0f, ys = 0.0f;  // velocity
  int rot = 0;
  int frame = 0;
  int smctr = 0;  // ticks since the last smoke puff

  virtual ~particle_tag() = default;
  // count pieces of wreckage showing consecutive frames from frame on.
  static int create_em(float x, float y, int frame, int count);
  virtual int update();
  static int update_all();
  static int destroy_all();
};

class explode_tag {
 public:
  float x = 0.0f, y = 0.0f;
  float scale = 0.0f;
  int frame = 0;
  int fr_tmr = 0;  // ticks shown of the current frame

  virtual ~explode_tag() = default;
  static int create_it(float x, float y, float scale);
  virtual int update();
  static int update_all();
  static int destroy_all();
};

class bpop_tag {
 public:
  int x = 0, y = 0;
  float alpha = 0.0f;

  virtual ~bpop_tag() = default;
  static int create_it(int x, float y);
  virtual int update();
  static int update_all();
  static int destroy_all();
};

class points_tag {
 public:
  int x = 0, y = 0;  // centre of the text
  float alpha = 0.0f;
  std::string amnt;  // "+45", "-150"

  virtual ~points_tag() = default;
  static int create_it(int x, int y, int amount);
  virtual int update();
  static int update_all();
  static int destroy_all();
};
