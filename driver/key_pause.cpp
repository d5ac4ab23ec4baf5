#include "driver/key_pause.h"

#ifdef _WIN32
#include <conio.h>
#include <io.h>

#include <csignal>
#include <cstdio>

namespace preisach::driver {

void waitForKey() {
  if (!_isatty(_fileno(stdin))) return;
  // The console's raw read takes Ctrl-C as the byte 3; it ends the program
  // as an interrupt would. The console mode is not changed by the read.
  constexpr int kControlC = 3;
  if (_getch() == kControlC) std::raise(SIGINT);
}

}  // namespace preisach::driver

#else
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace preisach::driver {

namespace {

// The terminal mode to put back, reachable from a signal handler.
termios savedMode;
volatile std::sig_atomic_t modeSaved = 0;

constexpr int kInterruptingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void restoreAndReraise(int signal) {
  if (modeSaved) tcsetattr(STDIN_FILENO, TCSANOW, &savedMode);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// Raw single-key mode for the lifetime of the object; the previous mode and
// signal dispositions come back on every way out.
class RawKeyMode {
 public:
  RawKeyMode() {
    if (tcgetattr(STDIN_FILENO, &savedMode) != 0) return;
    for (int i = 0; i < kSignalCount; ++i) {
      struct sigaction action {};
      action.sa_handler = restoreAndReraise;
      sigemptyset(&action.sa_mask);
      sigaction(kInterruptingSignals[i], &action, &previous_[i]);
    }
    modeSaved = 1;
    termios raw = savedMode;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    active_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
  }
  ~RawKeyMode() {
    if (!modeSaved) return;
    tcsetattr(STDIN_FILENO, TCSANOW, &savedMode);
    modeSaved = 0;
    for (int i = 0; i < kSignalCount; ++i) sigaction(kInterruptingSignals[i], &previous_[i], nullptr);
  }
  RawKeyMode(const RawKeyMode&) = delete;
  RawKeyMode& operator=(const RawKeyMode&) = delete;
  bool active() const { return active_; }

 private:
  static constexpr int kSignalCount = sizeof(kInterruptingSignals) / sizeof(kInterruptingSignals[0]);
  struct sigaction previous_[kSignalCount] {};
  bool active_ = false;
};

}  // namespace

void waitForKey() {
  if (!isatty(STDIN_FILENO)) return;
  RawKeyMode mode;
  if (!mode.active()) return;
  char key = 0;
  while (read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
  }
}

}  // namespace preisach::driver
#endif
