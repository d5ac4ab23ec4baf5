// End-to-end on a pseudo-terminal: the key pause takes one key without echo
// and without Enter, and the terminal gets its echo and line mode back, also
// when Ctrl-C ends the program during the pause.

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "test_support.h"

namespace preisach::test {
namespace {

constexpr char kRecord[] = "600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 20 0.01 n 100 590 n 300 3000 50 300 0.1 n";

// The program on the slave side of a pseudo-terminal, driven from the master.
class TerminalRun {
 public:
  explicit TerminalRun(const Workspace& w) {
    pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      if (chdir(w.root().c_str()) != 0) _exit(127);
      execl(PREISACH_EXECUTABLE, PREISACH_EXECUTABLE, static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~TerminalRun() {
    if (pid_ > 0 && !reaped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
  }
  bool started() const { return pid_ > 0; }

  // Reads what the program wrote until `text` shows up or 10 s pass.
  bool waitFor(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (output_.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) drain(50);
    return output_.find(text) != std::string::npos;
  }
  // Waits until the terminal is in single-key mode (no line mode, no echo).
  bool waitForKeyMode() {
    for (int n = 0; n < 200; ++n) {
      if (!lineMode() && !echoing()) return true;
      drain(25);
    }
    return false;
  }
  void type(const std::string& keys) {
    ASSERT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }
  // Reads the program's output until it hangs up, then reaps it; -1 when
  // it has not ended within 20 s. The hang-up comes before the exit status
  // can be collected, so the wait for the child must not be a count of
  // reads: after it, every read fails at once.
  int finish() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!hungUp_ && std::chrono::steady_clock::now() < deadline) drain(50);
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      const pid_t done = waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        reaped_ = true;
        return status;
      }
      if (done < 0) return -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }
  bool lineMode() const { return (mode().c_lflag & ICANON) != 0; }
  bool echoing() const { return (mode().c_lflag & ECHO) != 0; }
  const std::string& output() const { return output_; }

 private:
  termios mode() const {
    termios t{};
    tcgetattr(master_, &t);
    return t;
  }
  void drain(int milliseconds) {
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, milliseconds) <= 0) return;
    char buffer[4096];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n > 0)
      output_.append(buffer, static_cast<std::size_t>(n));
    else
      hungUp_ = true;  // end of file or EIO: no process holds the terminal any more
  }
  int master_ = -1;
  pid_t pid_ = -1;
  bool reaped_ = false;
  bool hungUp_ = false;
  std::string output_;
};

// The program came to its pause after the first pass, the terminal in key
// mode.
::testing::AssertionResult pausesForAKey(TerminalRun& run) {
  if (!run.started()) return ::testing::AssertionFailure() << "the program did not start";
  if (!run.waitFor("Calculate PDFn")) return ::testing::AssertionFailure() << "no pass printed: " << run.output();
  if (!run.waitForKeyMode()) return ::testing::AssertionFailure() << "the terminal stayed in line mode";
  return ::testing::AssertionSuccess();
}

TEST(KeyPause, TakesOneKeyWithoutEchoOrEnter) {
  Workspace w;
  w.writeParameters(kRecord);
  TerminalRun run(w);
  ASSERT_TRUE(pausesForAKey(run));
  run.type("q");  // no Enter
  ASSERT_TRUE(run.waitFor("If you want to continue press"));
  EXPECT_TRUE(run.lineMode());
  EXPECT_TRUE(run.echoing());
  run.type("n\n");
  const int status = run.finish();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(run.output().find('q'), std::string::npos) << "the key was echoed: " << run.output();
}

TEST(KeyPause, GivesTheTerminalBackWhenCtrlCEndsTheProgram) {
  Workspace w;
  w.writeParameters(kRecord);
  TerminalRun run(w);
  ASSERT_TRUE(pausesForAKey(run));
  run.type("\x03");  // Ctrl-C: the terminal sends SIGINT
  const int status = run.finish();
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
  EXPECT_TRUE(run.lineMode());
  EXPECT_TRUE(run.echoing());
  EXPECT_EQ(run.output().find("If you want to continue"), std::string::npos);
}

}  // namespace
}  // namespace preisach::test
