// A shot still in flight when the plane is lost can down an enemy during the dying
// pause. Those points count, so the best score must follow them even when that was
// the last plane and the game ends without another frame of play.
#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>

#include "game/harness.h"
#include "world/ebplane.h"
#include "world/globals.h"
#include "world/player.h"
#include "world/pshot.h"

TEST(BestScore, PointsScoredWhileDyingReachTheBestAndTheFile) {
  scratch_dir dir;
  game_run run;
  int score_in_title = -1, best_in_title = -1;
  run.start_game()
      .then([] {
        // One enemy with a shot on it, and the last plane lost in the same frame.
        ebplane_tag::destroy_all();
        pshot_tag::destroy_all();
        auto enemy = std::make_shared<ebplane_tag>();
        enemy->x = 304.0f;
        enemy->y = 200;
        enemy->dir = 12;
        enemy->spd = 0.0f;
        ebplane_list.add_last(enemy);
        auto shot = std::make_shared<pshot_tag>();
        shot->x = 292;
        shot->y = 200;
        shot->spd = 8;
        pshot_list.add_last(shot);
        player->score = 0;
        player->best_sc = 0;
        player->lives = 1;
        player_tag::init_death();
      })
      .until([] { return game_state == state_title_menu; })
      .then([&] {
        score_in_title = player->score;
        best_in_title = player->best_sc;
      });
  EXPECT_EQ(run.run(), 0);
  EXPECT_EQ(score_in_title, 15);
  EXPECT_EQ(best_in_title, 15);
  EXPECT_EQ(dir.read_bytes("data/hiscore.dat"), le32(15));
}
