// End-to-end: a result file is replaced only by a complete one, its
// temporary file is never an existing file or link, and none is left
// behind.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "test_support.h"

namespace preisach::test {
namespace {

constexpr char kQuickSweep[] = "600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 10 0.01 y 100 300 y 300 3000 50 300 0.1 y";
// Refined to 3000 x 3000 with 68 temperatures: seconds of work.
constexpr char kLongSweep[] = "600 1e-15 0.5 300 1.5 3 1 3 1 0 1 G 1000 0.01 y 100 590 n 300 3000 50 300 0.1 n";

const char* const kResultFiles[] = {"ZFCFCbc.txt", "separatebc.txt", "PDFbc.txt", "momentbc.txt"};

// The names in the data directory other than the parameter file and the
// result files: temporary files left behind, or anything else.
std::string strayFiles(const Workspace& w) {
  std::string stray;
  for (const auto& entry : std::filesystem::directory_iterator(w.dataDir())) {
    const std::string name = entry.path().filename().string();
    bool known = name == "Parameters.txt";
    for (const char* result : kResultFiles) known = known || name == result;
    if (!known) stray += name + " ";
  }
  return stray;
}

// A workspace whose four result files hold the rows of a complete quick run.
struct Completed {
  Workspace w;
  std::string files[4];
  Completed() {
    w.writeParameters(kQuickSweep);
    EXPECT_EQ(w.run("").status, 0);
    for (int k = 0; k < 4; ++k) files[k] = readFile(w.dataDir() / kResultFiles[k]);
  }
  void expectUnchanged(int k) const { EXPECT_EQ(readFile(w.dataDir() / kResultFiles[k]), files[k]) << kResultFiles[k]; }
};

// The program started in the workspace with its standard output on a pipe,
// killed with `signal` as soon as `line` has come out of it.
int killWhenPrinted(const Workspace& w, const std::string& line, int signal) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(w.root().c_str()) != 0) _exit(127);
    dup2(pipeEnds[1], STDOUT_FILENO);
    const int devNull = open("/dev/null", O_RDWR);
    dup2(devNull, STDIN_FILENO);
    dup2(devNull, STDERR_FILENO);
    close(pipeEnds[0]);
    execl(PREISACH_EXECUTABLE, PREISACH_EXECUTABLE, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeEnds[1]);
  std::string output;
  char buffer[4096];
  ssize_t n = 0;
  while (output.find(line) == std::string::npos && (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
    output.append(buffer, static_cast<std::size_t>(n));
  kill(pid, signal);
  int status = 0;
  waitpid(pid, &status, 0);
  close(pipeEnds[0]);
  return status;
}

TEST(ResultFiles, AreReplacedWholeAndLeaveNoTemporaryFile) {
  Workspace w;
  w.writeParameters(kQuickSweep);
  ASSERT_EQ(w.run("").status, 0);
  for (const char* name : kResultFiles) EXPECT_FALSE(readFile(w.dataDir() / name).empty()) << name;
  EXPECT_EQ(strayFiles(w), "");
}

TEST(ResultFiles, SurviveAnInterruptedSweepAndTheNextRunClearsItsLeftovers) {
  Completed c;
  c.w.writeParameters(kLongSweep);
  // Killed outright once the first temperature of a sweep of seconds is out.
  const int status = killWhenPrinted(c.w, "hts_T=", SIGKILL);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
  c.expectUnchanged(0);
  c.expectUnchanged(1);
  EXPECT_NE(strayFiles(c.w), "") << "a killed program cannot clean up";
  // The next run that writes those files removes what the killed one left.
  c.w.writeParameters(kQuickSweep);
  EXPECT_EQ(c.w.run("").status, 0);
  EXPECT_EQ(strayFiles(c.w), "");
}

TEST(ResultFiles, LeaveNoTemporaryFileWhenTheRunIsInterrupted) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    Completed c;
    c.w.writeParameters(kLongSweep);
    const int status = killWhenPrinted(c.w, "hts_T=", signal);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal << " " << status;
    c.expectUnchanged(0);
    c.expectUnchanged(1);
    EXPECT_EQ(strayFiles(c.w), "") << signal;
  }
}

TEST(ResultFiles, NeverFollowAPlantedLink) {
  Completed c;
  const std::filesystem::path victim = c.w.root() / "victim.txt";
  writeFile(victim, "precious\n");
  for (const char* name : kResultFiles) {
    std::filesystem::create_symlink(victim, c.w.dataDir() / (std::string(name) + ".partial"));
    std::filesystem::create_symlink(victim, c.w.dataDir() / (std::string(name) + ".tmp"));
  }
  EXPECT_EQ(c.w.run("").status, 0);
  EXPECT_EQ(readFile(victim), "precious\n");
  for (int k = 0; k < 4; ++k) c.expectUnchanged(k);  // the same parameters give the same rows
}

// Writes beyond `kilobytes` fail with EFBIG (SIGXFSZ ignored): a disk that
// fills up while a file is written.
RunResult runWithFileSizeLimit(const Workspace& w, int kilobytes) {
  writeFile(w.root() / "stdin.txt", "");
  return w.runCommand("cd '" + w.root().string() + "' && bash -c \"trap '' XFSZ; ulimit -f " +
                      std::to_string(kilobytes) + "; exec '" + PREISACH_EXECUTABLE +
                      "'\" < stdin.txt > stdout.txt 2> stderr.txt");
}

TEST(ResultFiles, KeepThePreviousFilesWhenAWriteFails) {
  Completed c;
  // The map (about 30 kB) does not fit; the other three files do.
  const RunResult r = runWithFileSizeLimit(c.w, 16);
  EXPECT_EQ(r.status, 1);
  c.expectUnchanged(2);
  EXPECT_EQ(r.err, "cannot write Magnetism/PDFbc.txt: File too large; the previous file is kept\n");
  EXPECT_EQ(strayFiles(c.w), "");
  // None of the four fits in 1 kB: every file stays as it was.
  const RunResult none = runWithFileSizeLimit(c.w, 1);
  EXPECT_EQ(none.status, 1);
  for (int k = 0; k < 4; ++k) c.expectUnchanged(k);
  EXPECT_EQ(countLines(none.err), 4u) << none.err;
}

TEST(ResultFiles, ComputeTheLoopWhenTheMapCannotBeCreated) {
  Completed c;
  const std::string earlierLoop = c.files[3];
  writeFile(c.w.dataDir() / "momentbc.txt", "earlier loop\n");
  std::filesystem::remove(c.w.dataDir() / "PDFbc.txt");
  std::filesystem::create_directory(c.w.dataDir() / "PDFbc.txt");
  const RunResult r = c.w.run("");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "cannot create Magnetism/PDFbc.txt: Is a directory; the map is not written, the loop is computed\n");
  EXPECT_EQ(readFile(c.w.dataDir() / "momentbc.txt"), earlierLoop);
  EXPECT_NE(r.out.find(" Norm_coeff="), std::string::npos);
}

TEST(ResultFiles, GiveTheSystemsReasonWhenTheFolderIsReadOnly) {
  Completed c;
  std::filesystem::permissions(c.w.root(), std::filesystem::perms::owner_all | std::filesystem::perms::others_read |
                                               std::filesystem::perms::others_exec);
  std::filesystem::permissions(c.w.dataDir(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                                                  std::filesystem::perms::others_read |
                                                  std::filesystem::perms::others_exec);
  writeFile(c.w.root() / "stdin.txt", "");
  // Permissions do not bind root: run as nobody there.
  const std::string as = geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  const RunResult r = c.w.runCommand("cd '" + c.w.root().string() + "' && " + as + "'" + PREISACH_EXECUTABLE +
                                     "' < stdin.txt > stdout.txt 2> stderr.txt");
  std::filesystem::permissions(c.w.dataDir(), std::filesystem::perms::owner_all);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot create Magnetism/ZFCFCbc.txt: Permission denied"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("cannot create Magnetism/PDFbc.txt: Permission denied"), std::string::npos) << r.err;
  for (int k = 0; k < 4; ++k) c.expectUnchanged(k);
}

TEST(ResultFiles, GetNoReportWhenStandardErrorIsClosed) {
  Completed c;
  // lambda = 0 gives a warning on standard error while the loop is written.
  c.w.writeParameters("600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 10 0.01 y 100 300 y 300 3000 50 0 0.1 y");
  writeFile(c.w.root() / "stdin.txt", "");
  const RunResult r =
      c.w.runCommand("cd '" + c.w.root().string() + "' && '" + PREISACH_EXECUTABLE + "' < stdin.txt > stdout.txt 2>&-");
  EXPECT_EQ(r.status, 0);
  for (const char* name : kResultFiles) {
    const std::string rows = readFile(c.w.dataDir() / name);
    EXPECT_EQ(rows.find("lambda"), std::string::npos) << name;
    EXPECT_EQ(rows.find_first_not_of("0123456789.+-e \n"), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace preisach::test
