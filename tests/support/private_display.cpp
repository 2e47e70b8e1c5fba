#include "private_display.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

class own_display {
 public:
  explicit own_display(const std::string& screen) {
    if (std::getenv("AV_GAME_SHARED_DISPLAY")) return;
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      // Goes with the test program, even when that one dies.
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      close(fds[0]);
      const int null_fd = open("/dev/null", O_WRONLY);
      if (null_fd >= 0) {
        dup2(null_fd, 1);
        dup2(null_fd, 2);
      }
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten",
             "tcp", "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c = 0;
    while (pid_ > 0 && poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) {
      stop();  // no Xvfb here: stay on the display we were given
      return;
    }
    setenv("DISPLAY", (":" + number).c_str(), 1);
  }
  ~own_display() { stop(); }

 private:
  void stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  pid_t pid_ = -1;
};

}  // namespace

void use_private_display(int width, int height) {
  static own_display display(std::to_string(width) + "x" + std::to_string(height) + "x24");
}
