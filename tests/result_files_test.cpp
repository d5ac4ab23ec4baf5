// End-to-end: a result file is replaced only by a complete one.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "test_support.h"

namespace preisach::test {
namespace {

constexpr char kQuickSweep[] = "600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 10 0.01 y 100 300 y 300 3000 50 300 0.1 y";
// Refined to 3000 x 3000 with 68 temperatures: seconds of work.
constexpr char kLongSweep[] = "600 1e-15 0.5 300 1.5 3 1 3 1 0 1 G 1000 0.01 y 100 590 n 300 3000 50 300 0.1 n";

const char* const kResultFiles[] = {"ZFCFCbc.txt", "separatebc.txt", "PDFbc.txt", "momentbc.txt"};

TEST(ResultFiles, AreReplacedWholeAndLeaveNoPartialFile) {
  Workspace w;
  w.writeParameters(kQuickSweep);
  ASSERT_EQ(w.run("").status, 0);
  for (const char* name : kResultFiles) {
    EXPECT_FALSE(readFile(w.dataDir() / name).empty()) << name;
    EXPECT_FALSE(std::filesystem::exists(w.dataDir() / (std::string(name) + ".partial"))) << name;
  }
}

TEST(ResultFiles, SurviveAnInterruptedSweep) {
  Workspace w;
  w.writeParameters(kQuickSweep);
  ASSERT_EQ(w.run("").status, 0);
  const std::string curves = readFile(w.dataDir() / "ZFCFCbc.txt");
  const std::string separate = readFile(w.dataDir() / "separatebc.txt");
  w.writeParameters(kLongSweep);
  // Killed half a second into a sweep of a few seconds.
  writeFile(w.root() / "stdin.txt", "");
  const RunResult killed = w.runCommand("cd '" + w.root().string() + "' && timeout -s KILL 0.5 '" +
                                        PREISACH_EXECUTABLE + "' < stdin.txt > stdout.txt 2> stderr.txt");
  EXPECT_EQ(killed.status, 137);
  EXPECT_NE(killed.out.find("hts_T="), std::string::npos) << "the sweep had started";
  EXPECT_EQ(readFile(w.dataDir() / "ZFCFCbc.txt"), curves);
  EXPECT_EQ(readFile(w.dataDir() / "separatebc.txt"), separate);
}

TEST(ResultFiles, KeepThePreviousFileWhenTheWriteFails) {
  Workspace w;
  w.writeParameters(kQuickSweep);
  ASSERT_EQ(w.run("").status, 0);
  const std::string loop = readFile(w.dataDir() / "momentbc.txt");
  // The rows of the loop go to a device that is always full.
  std::filesystem::create_symlink("/dev/full", w.dataDir() / "momentbc.txt.partial");
  const RunResult r = w.run("");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(readFile(w.dataDir() / "momentbc.txt"), loop);
  EXPECT_NE(r.err.find("cannot write Magnetism/momentbc.txt: No space left on device; the previous file is kept"),
            std::string::npos)
      << r.err;
}

}  // namespace
}  // namespace preisach::test
