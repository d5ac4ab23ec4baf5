// preisach-lab as dependable as the program: no name a user chose reaches
// gnuplot as a command, no result is written through a planted link or
// replaced by a part, the FORC files change together or not at all, every
// numeric option is finite and bounded, the work is bounded before it
// starts, and every failure is one line with its exit status. End-to-end
// runs of the real command in a temporary folder, and the helpers beneath.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
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
  EXPECT_EQ(r.status, 2);
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
  EXPECT_EQ(readFile(w.root() / "check" / "forc-diagram.txt"), readFile(w.dataDir() / "forc-diagram.txt"));
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
      {"fly", "\"fly\" is not a command: curves, fit, history or forc"},
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

}  // namespace
}  // namespace preisach::test
