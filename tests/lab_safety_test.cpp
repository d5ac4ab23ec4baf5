// preisach-lab as dependable as the program: no name a user chose reaches
// gnuplot as a command, no result is written through a planted link or
// replaced by a part, the FORC files change together or not at all, every
// numeric option is finite and bounded, the work is bounded before it
// starts, and every failure is one line with its exit status. End-to-end
// runs of the real command in a temporary folder, and the helpers beneath.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/output_files.h"
#include "history/forc_distribution.h"
#include "lab/gnuplot.h"
#include "lab/result_set.h"
#include "measured/text_cells.h"
#include "test_support.h"

namespace preisach::test {
namespace {

namespace fs = std::filesystem;

// A run of the real command, killed after a minute: every refusal below
// comes before any work, and the one long run takes seconds.
RunResult lab(const Workspace& w, const std::string& arguments, const std::string& redirections = "") {
  return w.runCommand("cd '" + w.root().string() + "' && timeout -s KILL 60 '" + PREISACH_LAB_EXECUTABLE + "' " +
                      arguments + " > stdout.txt 2> stderr.txt < /dev/null " + redirections);
}

// Ha_max = 1000 Oe, m = 40.
constexpr char kLoopRecord[] = "600 1e-15 0.5 300 1.5 60 1 100 1 20 1 G 40 0.01 n 100 300 y 300 1000 50 300 0.1 n";
constexpr char kZfcFcRecord[] = "600 1e-15 0.5 300 1.5 100 1 100 1 0 1 G 40 0.01 y 100 300 n 300 2000 50 300 0.1 n";
constexpr char kZfcFcRows[] = "5 1e-16 2e-16\n10 2e-16 3e-16\n20 3e-16 4e-16\n40 3e-16 4e-16\n";
// A name that, pasted into a gnuplot script between quotes, runs a command.
constexpr char kHostileName[] = "x'; system('touch PWNED'); print '";

std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const fs::directory_entry& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(LabSafety, QuotesGnuplotStringsSoThatNoTextEndsThem) {
  EXPECT_EQ(lab::gnuplotQuoted("plain"), "'plain'");
  EXPECT_EQ(lab::gnuplotQuoted(kHostileName), "'x''; system(''touch PWNED''); print '''");
}

TEST(LabSafety, DrawsAPictureFromInputsNamedOnlyByVariables) {
  if (!lab::haveGnuplot()) GTEST_SKIP() << "gnuplot not found";
  const std::optional<std::string> png =
      lab::drawPng("set terminal pngcairo size 200,150\nset output picture\nplot points using 1:2 with lines notitle\n",
                   {{"points", "0 0\n1 1\n2 4\n"}});
  ASSERT_TRUE(png.has_value());
  EXPECT_EQ(png->compare(0, 4, "\x89PNG"), 0);
  EXPECT_FALSE(lab::drawPng("set output picture\nplot nonsense(\n", {}).has_value());
}

TEST(LabSafety, ANameWithQuotesRunsNoCommandInForcOrFit) {
  if (!lab::haveGnuplot()) GTEST_SKIP() << "gnuplot not found: no script is run";
  Workspace w;
  w.writeParameters(kLoopRecord);
  fs::create_directory(w.root() / kHostileName);
  const RunResult forc = lab(w, "forc --step 100 --out-dir " + shellQuoted(kHostileName));
  EXPECT_EQ(forc.status, 0) << forc.err;
  EXPECT_GT(fs::file_size(w.root() / kHostileName / "forc-diagram.png"), 1000u);
  EXPECT_FALSE(fs::exists(w.root() / "PWNED"));
  EXPECT_FALSE(fs::exists(w.root() / kHostileName / "PWNED"));

  w.writeParameters(kZfcFcRecord);
  writeFile(w.root() / "zfcfc.txt", kZfcFcRows);
  const RunResult fit =
      lab(w, "fit --zfcfc zfcfc.txt --free N --out " + shellQuoted(std::string(kHostileName) + ".txt"));
  EXPECT_LE(fit.status, 1) << fit.err;
  EXPECT_GT(fs::file_size(w.root() / (std::string(kHostileName) + ".png")), 1000u);
  EXPECT_FALSE(fs::exists(w.root() / "PWNED"));
  EXPECT_EQ(fit.err.find("InitGoogleLogging"), std::string::npos) << "a library's log line: " << fit.err;
}

TEST(LabSafety, ReplacesAPlantedLinkInsteadOfWritingThroughIt) {
  Workspace w;
  w.writeParameters(kLoopRecord);
  const fs::path victim = w.root() / "victim.txt";
  writeFile(victim, "keep me\n");
  fs::create_symlink(victim, w.dataDir() / "forc-curves.frc");
  fs::create_symlink(w.root() / "created-through-link.txt", w.dataDir() / "forc-diagram.txt");  // dangling
  writeFile(w.root() / "fields.txt", "0\n-1000\n1000\n");
  fs::create_symlink(victim, w.root() / "history.txt");
  ASSERT_EQ(lab(w, "forc --step 100").status, 0);
  ASSERT_EQ(lab(w, "history --fields fields.txt --out history.txt").status, 0);
  EXPECT_EQ(readFile(victim), "keep me\n");
  EXPECT_FALSE(fs::exists(w.root() / "created-through-link.txt"));
  for (const fs::path& p :
       {w.dataDir() / "forc-curves.frc", w.dataDir() / "forc-diagram.txt", w.root() / "history.txt"})
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(p))) << p;
  EXPECT_EQ(countLines(readFile(w.root() / "history.txt")), 3u);

  w.writeParameters(kZfcFcRecord);
  writeFile(w.root() / "zfcfc.txt", kZfcFcRows);
  fs::create_symlink(victim, w.root() / "fit.curves.txt");
  EXPECT_LE(lab(w, "fit --zfcfc zfcfc.txt --free N --out fit.txt").status, 1);
  EXPECT_EQ(readFile(victim), "keep me\n");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(w.root() / "fit.curves.txt")));
}

TEST(LabSafety, AFailedForcRunLeavesThePreviousResultsAsTheyWere) {
  Workspace w;
  w.writeParameters(kLoopRecord);
  for (const char* name : {"forc-curves.frc", "forc-diagram.txt", "forc-diagram.png"})
    writeFile(w.dataDir() / name, std::string("previous ") + name);
  // A step above Ha_max: too few curves for a distribution.
  const RunResult tooLarge = lab(w, "forc --step 2000");
  EXPECT_EQ(tooLarge.status, 2);
  EXPECT_NE(tooLarge.err.find("fewer than three reversal curves"), std::string::npos) << tooLarge.err;
  for (const char* name : {"forc-curves.frc", "forc-diagram.txt", "forc-diagram.png"})
    EXPECT_EQ(readFile(w.dataDir() / name), std::string("previous ") + name);
  EXPECT_EQ(namesIn(w.dataDir()),
            (std::vector<std::string>{"Parameters.txt", "forc-curves.frc", "forc-diagram.png", "forc-diagram.txt"}));
}

// A file size limit of 4 kB (ulimit -f counts kB) with SIGXFSZ ignored makes
// every larger write fail as on a full disk.
TEST(LabSafety, AFullDiskLeavesNoFragmentAndThePreviousResults) {
  Workspace w;
  w.writeParameters(kLoopRecord);
  for (const char* name : {"forc-curves.frc", "forc-diagram.txt"})
    writeFile(w.dataDir() / name, std::string("previous ") + name);
  const RunResult r = w.runCommand("cd '" + w.root().string() + "' && trap '' XFSZ && ulimit -f 4 && '" +
                                   PREISACH_LAB_EXECUTABLE + "' forc --step 50 > stdout.txt 2> stderr.txt < /dev/null");
  EXPECT_EQ(r.status, 1) << "a write that fails is no bad input";
  EXPECT_NE(r.err.find("cannot write Magnetism/forc-curves.frc"), std::string::npos) << r.err;
  for (const char* name : {"forc-curves.frc", "forc-diagram.txt"})
    EXPECT_EQ(readFile(w.dataDir() / name), std::string("previous ") + name);
  EXPECT_EQ(namesIn(w.dataDir()), (std::vector<std::string>{"Parameters.txt", "forc-curves.frc", "forc-diagram.txt"}));
}

TEST(LabSafety, TwoForcRunsIntoOneFolderLeaveADiagramOfTheCurvesBesideIt) {
  Workspace w;
  w.writeParameters(kLoopRecord);
  fs::create_directory(w.root() / "check");
  const RunResult both =
      w.runCommand("cd '" + w.root().string() + "' && (timeout -s KILL 60 '" + PREISACH_LAB_EXECUTABLE +
                   "' forc --step 50 & timeout -s KILL 60 '" + PREISACH_LAB_EXECUTABLE +
                   "' forc --step 40 --sf 2 & wait) > stdout.txt 2> stderr.txt < /dev/null");
  ASSERT_EQ(both.status, 0) << both.err;
  // The curves' own header names the smoothing factor that made the diagram.
  const std::string curves = readFile(w.dataDir() / "forc-curves.frc");
  const std::string sf = curves.find("NCrv           = 40\r\n") != std::string::npos ? "3" : "2";
  ASSERT_EQ(lab(w, "forc --measured Magnetism/forc-curves.frc --sf " + sf + " --out-dir check").status, 0);
  // The same rows; the measured diagram's header also says how the file was read.
  EXPECT_EQ(numberRows(readFile(w.root() / "check" / "forc-diagram.txt")),
            numberRows(readFile(w.dataDir() / "forc-diagram.txt")));
}

TEST(LabSafety, RefusesNonFiniteAndOutOfRangeNumbersByNameInOneLine) {
  Workspace w;
  w.writeParameters(kLoopRecord);
  struct Case {
    std::string arguments;
    std::string line;
  };
  const std::vector<Case> cases = {
      {"forc --step nan", "\"nan\" is not a number (NaN)"},
      {"forc --step inf", "\"inf\" is infinite"},
      {"forc --step -inf", "\"-inf\" is infinite"},
      {"forc --step 1e400", "\"1e400\" is infinite"},
      {"forc --step 0", "0 lies outside the range"},
      {"forc --step -5", "-5 lies outside the range"},
      {"forc --step 5x", "\"5x\" is not a number"},
      {"forc --sf 50", "--sf"},
      {"forc --bogus", "--bogus"},
      {"fly", "\"fly\" is not a command: curves, fit, history, forc or read"},
      {"", "A subcommand is required"},
  };
  for (const Case& c : cases) {
    const RunResult r = lab(w, c.arguments);
    EXPECT_EQ(r.status, 2) << c.arguments;
    EXPECT_NE(r.err.find(c.line), std::string::npos) << c.arguments << ": " << r.err;
    EXPECT_EQ(countLines(r.err), 1u) << c.arguments << ": " << r.err;
    // No number printed from a huge or non-finite value: the line stays short.
    EXPECT_LT(r.err.size(), 200u) << c.arguments << ": " << r.err;
  }
  EXPECT_EQ(namesIn(w.dataDir()), std::vector<std::string>{"Parameters.txt"});
}

TEST(LabSafety, RefusesWorkAboveTheLimitBeforeComputingAnything) {
  Workspace w;
  // m = 4000: 20502 field points at a 10 Oe step make 1.6e11 cell updates.
  w.writeParameters("600 1e-15 0.5 300 1.5 60 1 100 1 20 1 G 4000 0.01 n 100 300 y 300 1000 50 300 0.1 n");
  const RunResult r = lab(w, "forc --model grid --step 10");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("more than the limit"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("simulating"), std::string::npos) << r.err;
  EXPECT_EQ(countLines(r.err), 1u) << r.err;
}

TEST(LabSafety, ALostReportIsAnErrorWithStatusOne) {
  Workspace w;
  w.writeParameters(kZfcFcRecord);
  writeFile(w.root() / "zfcfc.txt", kZfcFcRows);
  const std::string fit = "fit --zfcfc zfcfc.txt --free N --out fit.txt";
  EXPECT_EQ(w.runCommand("cd '" + w.root().string() + "' && '" + PREISACH_LAB_EXECUTABLE + "' " + fit +
                         " > /dev/full 2> stderr.txt; echo $? > stdout.txt")
                .out,
            "1\n");
  EXPECT_NE(readFile(w.root() / "stderr.txt").find("standard output cannot be written"), std::string::npos);
  EXPECT_EQ(w.runCommand("cd '" + w.root().string() + "' && '" + PREISACH_LAB_EXECUTABLE + "' " + fit +
                         " >&- 2> stderr.txt; echo $? > stdout.txt")
                .out,
            "1\n");
  // A command that writes nothing to standard output does not need it.
  writeFile(w.root() / "fields.txt", "0\n");
  w.writeParameters(kLoopRecord);
  EXPECT_EQ(w.runCommand("cd '" + w.root().string() + "' && '" + PREISACH_LAB_EXECUTABLE +
                         "' history --fields fields.txt --out h.txt >&- 2> stderr.txt; echo $? > stdout.txt")
                .out,
            "0\n");
}

TEST(LabSafety, NoticesAReadOnlyOutputFolderBeforeAnyWork) {
  Workspace w;
  w.writeParameters(kLoopRecord);
  const fs::perms readable = fs::perms::others_read | fs::perms::others_exec;
  fs::permissions(w.root(), fs::perms::owner_all | readable);
  fs::permissions(w.dataDir(), fs::perms::owner_all | readable);
  fs::permissions(w.dataDir() / "Parameters.txt", fs::perms::owner_read | fs::perms::others_read);
  fs::create_directory(w.root() / "locked");
  fs::permissions(w.root() / "locked", fs::perms::owner_read | fs::perms::owner_exec | readable);
  // Permissions do not bind root: run as nobody there.
  const std::string as = geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  const RunResult r = w.runCommand("cd '" + w.root().string() + "' && " + as + "'" + PREISACH_LAB_EXECUTABLE +
                                   "' forc --out-dir locked > stdout.txt 2> stderr.txt < /dev/null");
  fs::permissions(w.root() / "locked", fs::perms::owner_all);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("locked/forc-diagram.txt: the folder locked cannot be written: Permission denied"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("simulating"), std::string::npos) << "noticed before the work: " << r.err;
  EXPECT_TRUE(fs::is_empty(w.root() / "locked"));
}

TEST(LabSafety, AResultSetInterruptedBySigtermLeavesOnlyThePreviousFile) {
  TempDir dir;
  const fs::path result = dir.path() / "result.txt";
  writeFile(result, "previous\n");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    driver::removeTemporaryFilesOnInterrupt();
    lab::ResultSet set;
    set.add(result.string(), "new rows, cut here");
    raise(SIGTERM);
    _exit(0);  // not reached: the handler ends the process by the signal
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  EXPECT_EQ(readFile(result), "previous\n");
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"result.txt"});
}

TEST(LabSafety, AResultSetCommitsAllItsFilesOrNone) {
  TempDir dir;
  const std::string a = (dir.path() / "a.txt").string(), b = (dir.path() / "b.txt").string();
  {
    lab::ResultSet set;
    set.add(a, "A\n");
    EXPECT_EQ(readFile(set.add(b, "B\n")), "B\n") << "the temporary file holds the content";
    EXPECT_FALSE(fs::exists(a));
  }
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{});
  writeFile(dir.path() / "old.png", "stale");
  lab::ResultSet set;
  set.add(a, "A\n");
  set.add(b, "B\n");
  set.discard((dir.path() / "old.png").string());
  set.commit();
  EXPECT_EQ(readFile(a), "A\n");
  EXPECT_EQ(readFile(b), "B\n");
  EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"a.txt", "b.txt"}));
}

// M = c Hr H has the mixed derivative c everywhere, so rho = -c / 2 at every
// point with a full lattice around it, whatever the spacing elsewhere. One
// curve measured 2e5 more times within 10 Oe (fewer than the regular steps,
// whose median stays the field step), in the middle of the diagram
// where its neighbours' windows are full, must cost no more than its points
// (scanning each of their windows whole takes minutes).
TEST(LabSafety, ForcDistributionStaysLinearInADenselyMeasuredCurve) {
  constexpr double c = 1e-6;
  constexpr int kCurves = 300, kPoints = 1000, kDense = 200000;
  constexpr double kStep = 10.0;  // Oe
  measured::ForcSet forcs;
  for (int i = 0; i < kCurves; ++i) {
    measured::ForcSet::Curve curve;
    const double Hr = -kStep * i;
    const auto add = [&](double H) {
      curve.H.push_back(H);
      curve.M.push_back(c * Hr * H);
    };
    for (int k = 0; k < kPoints; ++k) {
      add(Hr + kStep * k);
      if (i == kCurves / 2 && k == kPoints / 2)
        for (int j = 1; j <= kDense; ++j) add(Hr + kStep * (k + static_cast<double>(j) / (kDense + 1)));
    }
    forcs.curves.push_back(curve);
  }
  const std::vector<std::vector<history::ForcValue>> blocks = history::forcDistribution(forcs, 2);
  ASSERT_FALSE(blocks.empty());
  // The least-squares fit of an exact quadratic: rounding of sums of 25 terms
  // of size up to c * 2000^2, relative to rho = c / 2.
  constexpr double kFitRounding = 1e-6;
  std::size_t values = 0;
  for (const auto& block : blocks)
    for (const history::ForcValue& v : block) {
      ++values;
      ASSERT_NEAR(v.rho, -0.5 * c, kFitRounding * c) << v.Hc << " " << v.Hu;
    }
  EXPECT_GT(values, static_cast<std::size_t>(kCurves * kPoints / 2));
}

// Every output that would replace something that is not a result of its
// own: a device, a pipe, an input of the same run, another output of it.
TEST(LabSafety, RefusesAnOutputThatIsASpecialFileOrAnInputBeforeAnyWork) {
  Workspace w;
  w.writeParameters(kZfcFcRecord);
  writeFile(w.root() / "zfcfc.txt", kZfcFcRows);
  writeFile(w.root() / "run.curves.txt", kZfcFcRows);
  writeFile(w.root() / "fields.txt", "0\n-500\n500\n");
  writeFile(w.root() / "loop.txt", "# loop\n");
  ASSERT_EQ(mkfifo((w.root() / "fifo").c_str(), 0600), 0);
  // A character device of its own, where the tests may make one: /dev/null's numbers.
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(mknod((w.root() / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
  }
  struct Case {
    std::string arguments, message;
  };
  std::vector<Case> cases{
      {"history --params Magnetism/Parameters.txt --fields fields.txt --out fifo", "--out fifo is not a regular file"},
      {"fit --zfcfc zfcfc.txt --free N --out fifo", "--out fifo is not a regular file"},
      {"fit --zfcfc zfcfc.txt --free N --out zfcfc.txt", "--out zfcfc.txt is the input --zfcfc zfcfc.txt"},
      {"fit --zfcfc run.curves.txt --free N --out run.txt", "--out run.curves.txt is the input --zfcfc run.curves.txt"},
      {"fit --zfcfc zfcfc.txt --free N --out Magnetism/Parameters.txt", "is the input --params"},
      {"history --fields fields.txt --out fields.txt", "--out fields.txt is the input --fields fields.txt"},
      {"history --fields fields.txt --out ./sub/../fields.txt", "is the input --fields fields.txt"},
      {"history --fields fields.txt --out ''", "--out \"\" names no file"},
      {"curves --params Magnetism/ZFCFC.txt --out-dir Magnetism", "is the input --params"},
      {"forc --measured Magnetism/forc-curves.frc", "is the input --measured"},
  };
  writeFile(w.dataDir() / "ZFCFC.txt", kZfcFcRecord);
  writeFile(w.dataDir() / "forc-curves.frc", "curves measured earlier\n");
  fs::create_directory(w.root() / "sub");
  if (root) cases.push_back({"history --fields fields.txt --out null", "--out null is not a regular file"});
  for (const Case& c : cases) {
    const RunResult r = lab(w, c.arguments);
    EXPECT_EQ(r.status, 2) << c.arguments << "\n" << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.arguments << "\n" << r.err;
    EXPECT_EQ(countLines(r.err), 1u) << c.arguments << "\n" << r.err;
  }
  struct stat s {};
  ASSERT_EQ(stat((w.root() / "fifo").c_str(), &s), 0);
  EXPECT_TRUE(S_ISFIFO(s.st_mode));
  if (root) {
    ASSERT_EQ(stat((w.root() / "null").c_str(), &s), 0);
    EXPECT_TRUE(S_ISCHR(s.st_mode));
  }
  EXPECT_EQ(readFile(w.root() / "zfcfc.txt"), kZfcFcRows);
  EXPECT_EQ(readFile(w.root() / "run.curves.txt"), kZfcFcRows);
  EXPECT_EQ(readFile(w.root() / "fields.txt"), "0\n-500\n500\n");
  EXPECT_EQ(readFile(w.dataDir() / "ZFCFC.txt"), kZfcFcRecord);
  EXPECT_EQ(readFile(w.dataDir() / "forc-curves.frc"), "curves measured earlier\n");
  EXPECT_EQ(readFile(w.dataDir() / "Parameters.txt"), kZfcFcRecord);
}

// The sweep of temporary files a killed run left takes only names this
// program makes, of processes that are gone; the user's files stay.
TEST(LabSafety, TheSweepOfStaleTemporaryFilesKeepsTheUsersFiles) {
  Workspace w;
  w.writeParameters(kLoopRecord);
  writeFile(w.root() / "fields.txt", "0\n");
  const std::vector<std::string> kept{
      "h.txt.mine.partial", "h.txt.1.partial", "h.txt.1.0000000g.partial",      "h.txt.1.00000000.partial.bak",
      ".notes.partial",     "h.txt..partial",  "h.txt.0999999.abcdef12.partial"};
  for (const std::string& name : kept) writeFile(w.root() / name, "user's\n");
  // A process that is gone: a child that has ended and been reaped.
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  const std::string stale = "h.txt." + std::to_string(gone) + ".0badc0de.partial";
  writeFile(w.root() / stale, "left by a killed run\n");
  // A pipe with such a name is no file this program made.
  const std::string pipe = "h.txt." + std::to_string(gone) + ".abcdef12.partial";
  ASSERT_EQ(mkfifo((w.root() / pipe).c_str(), 0600), 0);
  const RunResult r = lab(w, "history --fields fields.txt --out h.txt");
  ASSERT_EQ(r.status, 0) << r.err;
  for (const std::string& name : kept) EXPECT_EQ(readFile(w.root() / name), "user's\n") << name;
  EXPECT_FALSE(fs::exists(w.root() / stale));
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(w.root() / pipe)));
}

// No result of the lab holds nan: a history or FORCs on a grid that holds
// none of the density (Ha_max 1e5 Oe, m = 40) end with exit 1 and the cause.
TEST(LabSafety, AHistoryOrForcsThatComeOutNanAreNotWritten) {
  Workspace w;
  w.writeParameters("600 1e-15 0.5 300 1.5 60 1 100 1 20 1 G 40 0.01 n 100 300 y 300 1e5 50 300 0.1 n");
  writeFile(w.root() / "fields.txt", "0\n100\n-100\n");
  for (const std::string& command : {std::string("history --fields fields.txt --model grid --out h.txt"),
                                     std::string("forc --model grid --step 5000 --out-dir Magnetism")}) {
    const RunResult r = lab(w, command);
    EXPECT_EQ(r.status, 1) << command << "\n" << r.err;
    EXPECT_NE(r.err.find("not finite at"), std::string::npos) << command << "\n" << r.err;
    EXPECT_NE(r.err.find("Norm_coeff is infinite"), std::string::npos) << command << "\n" << r.err;
  }
  EXPECT_FALSE(fs::exists(w.root() / "h.txt"));
  EXPECT_EQ(namesIn(w.dataDir()), (std::vector<std::string>{"Parameters.txt"}));
}

// A name carries whatever bytes a user gave it: in a result file's header it
// never ends the header early, and messages show it escaped.
TEST(LabSafety, ANameWithALineEndOrEscapeNeverBreaksAFileOrAMessage) {
  Workspace w;
  const std::string name = "pz\n999 1e-3 1e-3";
  writeFile(w.root() / name, kZfcFcRecord);
  ASSERT_EQ(lab(w, "curves --params " + shellQuoted(name) + " --model grid").status, 0);
  const std::string zfcfc = readFile(w.root() / "ZFCFC.txt");
  for (const std::vector<double>& row : numberRows(zfcfc)) EXPECT_NE(row.front(), 999.0);
  EXPECT_NE(zfcfc.find("pz\\n999 1e-3 1e-3"), std::string::npos) << zfcfc;

  writeFile(w.root() / name, kLoopRecord);
  ASSERT_EQ(lab(w, "forc --step 100 --params " + shellQuoted(name)).status, 0);
  const std::string frc = readFile(w.dataDir() / "forc-curves.frc");
  EXPECT_NE(frc.find("pz\\n999 1e-3 1e-3, "), std::string::npos);
  EXPECT_EQ(frc.find("\n999 1e-3"), std::string::npos);

  const RunResult r = lab(w, "curves --params " + shellQuoted("missing\x1b[31m\nline"));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(countLines(r.err), 1u) << r.err;
  EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("\\x1B[31m"), std::string::npos) << r.err;
  // A name of kilobytes is cut in the message.
  const RunResult long_name = lab(w, "curves --params " + std::string(3000, 'a'));
  EXPECT_EQ(long_name.status, 2);
  EXPECT_LT(long_name.err.size(), 400u) << long_name.err.size();
}

// One run's set in a folder: what this run does not write, of the names the
// command writes, goes; nothing else does.
TEST(LabSafety, AnOutputFolderHoldsOneRunsSet) {
  Workspace w;
  std::string both = kZfcFcRecord;
  both.replace(both.find(" n 300 2000"), 2, " y");
  w.writeParameters(both);
  writeFile(w.dataDir() / "notes.txt", "mine\n");
  ASSERT_EQ(lab(w, "curves --model grid --out-dir Magnetism").status, 0);
  ASSERT_TRUE(fs::exists(w.dataDir() / "moment.txt"));
  w.writeParameters(kZfcFcRecord);  // the ZFC/FC flag alone
  ASSERT_EQ(lab(w, "curves --model grid --out-dir Magnetism").status, 0);
  EXPECT_EQ(namesIn(w.dataDir()),
            (std::vector<std::string>{"Parameters.txt", "ZFCFC.txt", "notes.txt", "separate.txt"}));

  w.writeParameters(kLoopRecord);
  ASSERT_EQ(lab(w, "forc --step 100").status, 0);
  fs::create_directory(w.root() / "measured");
  fs::copy_file(w.dataDir() / "forc-curves.frc", w.root() / "measured" / "sample.frc");
  ASSERT_EQ(lab(w, "forc --measured measured/sample.frc").status, 0);
  EXPECT_FALSE(fs::exists(w.dataDir() / "forc-curves.frc")) << "simulated curves beside a measured diagram";
  EXPECT_FALSE(fs::exists(w.dataDir() / "forc-diagram-exact.txt"));
  EXPECT_EQ(readFile(w.dataDir() / "notes.txt"), "mine\n");
}

TEST(LabSafety, FieldsFilesOfAnyLineEndAndLongLinesAreReadOrRefusedShortly) {
  Workspace w;
  w.writeParameters(kLoopRecord);
  writeFile(w.root() / "bom.txt",
            "\xEF\xBB\xBF"
            "0\r-500\r500\r");
  const RunResult read = lab(w, "history --fields bom.txt --out h.txt");
  ASSERT_EQ(read.status, 0) << read.err;
  EXPECT_EQ(countLines(readFile(w.root() / "h.txt")), 3u);
  writeFile(w.root() / "long.txt", "0\n" + std::string(3u << 20, '7') + "x\n");
  const RunResult refused = lab(w, "history --fields long.txt --out h.txt");
  EXPECT_EQ(refused.status, 2);
  EXPECT_LT(refused.err.size(), 400u) << "the line is echoed whole";
  EXPECT_NE(refused.err.find("long.txt:2"), std::string::npos) << refused.err;
}

TEST(LabSafety, AStepTooLargeIsReportedWithoutATemporaryName) {
  Workspace w;
  w.writeParameters(kLoopRecord);
  const RunResult r = lab(w, "forc --step 1000");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.find(".partial"), std::string::npos) << r.err;
  EXPECT_EQ(namesIn(w.dataDir()), (std::vector<std::string>{"Parameters.txt"}));
}

// A unit the reader decided on its own is said where the user sees it and
// kept with the diagram made from it.
TEST(LabSafety, TheUnitDecisionForPlainSiIsPrintedAndKeptInTheDiagram) {
  Workspace w;
  w.writeParameters(kLoopRecord);
  ASSERT_EQ(lab(w, "forc --step 100").status, 0);
  // The simulated curves in T and A m^2, under a plain "SI" line.
  std::string si;
  for (const std::string& line : measured::textLines(readFile(w.dataDir() / "forc-curves.frc"))) {
    double H = 0.0, M = 0.0;
    if (std::sscanf(line.c_str(), "%lf,%lf", &H, &M) == 2) {
      char row[64];
      std::snprintf(row, sizeof row, "%+.9E,%+.9E", H * 1e-4, M * 1e-3);
      si += std::string(row) + "\n";
    } else if (line.rfind("Units of measure", 0) == 0) {
      si += "Units of measure: SI\n";
    } else if (line.find('=') == std::string::npos) {
      si += line + "\n";
    }
  }
  writeFile(w.root() / "si.frc", si);
  fs::create_directory(w.root() / "out");
  const RunResult r = lab(w, "forc --measured si.frc --out-dir out");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string note = "leaves the field unit open: read as T";
  EXPECT_NE(r.err.find(note), std::string::npos) << r.err;
  const std::string diagram = readFile(w.root() / "out" / "forc-diagram.txt");
  EXPECT_NE(diagram.substr(0, diagram.find("\n# Hc")).find(note), std::string::npos) << diagram.substr(0, 400);
}

}  // namespace
}  // namespace preisach::test
