#include "private_display.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// tools/xvfb.sh --hold: prints the display, and keeps the server until its standard input
// ends, which it does when this program closes the pipe or dies in any way.
class own_display {
 public:
  explicit own_display(const std::string& screen) {
    if (std::getenv("AV_GAME_SHARED_DISPLAY")) return;
    if (std::system("command -v Xvfb >/dev/null 2>&1") != 0) return;
    const std::string script = AV_SOURCE_DIR "/tools/xvfb.sh";
    // Made before the fork: in a program with threads the child may only call exec.
    const char* argv[] = {"bash", script.c_str(), screen.c_str(), "--hold", nullptr};
    int to_server[2], from_server[2];
    if (pipe2(to_server, O_CLOEXEC) != 0 || pipe2(from_server, O_CLOEXEC) != 0) fail("no pipe");
    pid_ = fork();
    if (pid_ == 0) {
      dup2(to_server[0], 0);  // dup2 leaves close-on-exec off the copies
      dup2(from_server[1], 1);
      execvp("bash", const_cast<char* const*>(argv));
      _exit(127);
    }
    close(to_server[0]);
    close(from_server[1]);
    hold_ = to_server[1];
    // The launcher gives up by itself when the server does not start in time.
    std::string line;
    char c = 0;
    while (pid_ > 0 && read(from_server[0], &c, 1) == 1 && c != '\n') line += c;
    close(from_server[0]);
    if (line.size() < 2 || line[0] != ':') fail("tools/xvfb.sh gave no display");
    setenv("DISPLAY", line.c_str(), 1);
  }
  ~own_display() { stop(); }

 private:
  void stop() {
    if (hold_ >= 0) close(hold_);
    hold_ = -1;
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  [[noreturn]] void fail(const char* why) {
    stop();
    std::fprintf(stderr, "private X server: %s\n", why);
    std::exit(1);
  }
  pid_t pid_ = -1;
  int hold_ = -1;
};

}  // namespace

void use_private_display(int width, int height) {
  static own_display display(std::to_string(width) + "x" + std::to_string(height) + "x24");
}
