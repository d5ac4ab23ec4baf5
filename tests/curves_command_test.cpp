// End-to-end: preisach-lab curves beside the program, in a temporary folder
// with a real parameter file. On the grid it gives the very doubles the
// program prints; on the continuum it writes the model's limit, which the
// program approaches as its grid is refined; bad choices of model or
// tolerance are refused before anything is written.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

namespace preisach::test {
namespace {

RunResult lab(const Workspace& w, const std::string& arguments) {
  return w.runCommand("cd '" + w.root().string() + "' && timeout -s KILL 300 '" + PREISACH_LAB_EXECUTABLE + "' " +
                      arguments + " > stdout.txt 2> stderr.txt < /dev/null");
}

// Both computations, a small grid so the program is quick.
std::string record(int m, char shape = 'L') {
  return "600 1e-15 0.5 300 1.5 60 1 40 1 -20 1 " + std::string(1, shape) + " " + std::to_string(m) +
         " 0.01 y 100 300 y 300 3000 50 300 0.1 n\n";
}

std::string formatted(const char* format, const std::vector<double>& values) {
  std::string text;
  char number[64];
  for (std::size_t k = 0; k < values.size(); ++k) {
    std::snprintf(number, sizeof number, k == 0 ? "%f" : format, values[k]);
    text += (k == 0 ? "" : " ") + std::string(number);
  }
  return text;
}

// The program's rows as its format prints the lab's doubles: identical
// text means the same doubles up to the program's six digits.
void expectProgramRows(const std::string& programFile, const std::string& labFile, std::size_t columns) {
  std::istringstream program(programFile);
  const std::vector<std::vector<double>> rows = numberRows(labFile);
  std::size_t k = 0;
  for (std::string line; std::getline(program, line); ++k) {
    ASSERT_LT(k, rows.size());
    ASSERT_EQ(rows[k].size(), columns);
    // The separate file keeps its groups apart with two blanks.
    std::string flattened;
    std::istringstream words(line);
    for (std::string word; words >> word;) flattened += (flattened.empty() ? "" : " ") + word;
    EXPECT_EQ(formatted("%e", rows[k]), flattened) << "row " << k;
  }
  EXPECT_EQ(k, rows.size());
}

TEST(CurvesCommand, GivesTheProgramsOwnValuesOnTheGrid) {
  Workspace w;
  w.writeParameters(record(30));
  ASSERT_EQ(w.run("n\n").status, 0);
  ASSERT_EQ(lab(w, "curves --model grid --out-dir .").status, 0) << readFile(w.root() / "stderr.txt");
  expectProgramRows(readFile(w.dataDir() / "ZFCFCbc.txt"), readFile(w.root() / "ZFCFC.txt"), 3);
  expectProgramRows(readFile(w.dataDir() / "separatebc.txt"), readFile(w.root() / "separate.txt"), 10);
  expectProgramRows(readFile(w.dataDir() / "momentbc.txt"), readFile(w.root() / "moment.txt"), 4);
  const std::string header = readFile(w.root() / "ZFCFC.txt");
  EXPECT_EQ(header.rfind("# preisach-lab curves: grid of m = 30", 0), 0u) << header;
}

// The largest |a - b| over the largest |b| of one column of two files.
double relativeDeparture(const std::string& a, const std::string& b, std::size_t column) {
  const auto ra = numberRows(a), rb = numberRows(b);
  double largestDifference = 0.0, largest = 0.0;
  for (std::size_t k = 0; k < ra.size() && k < rb.size(); ++k) {
    largestDifference = std::max(largestDifference, std::fabs(ra[k][column] - rb[k][column]));
    largest = std::max(largest, std::fabs(rb[k][column]));
  }
  return largestDifference / largest;
}

TEST(CurvesCommand, WritesTheLimitThatTheGridApproachesAsOneOverM) {
  Workspace w;
  std::vector<double> zfcDeparture, loopDeparture;
  w.writeParameters(record(100));
  ASSERT_EQ(lab(w, "curves --out-dir .").status, 0) << readFile(w.root() / "stderr.txt");
  const std::string zfc = readFile(w.root() / "ZFCFC.txt"), loop = readFile(w.root() / "moment.txt");
  EXPECT_EQ(zfc.rfind("# preisach-lab curves: continuum limit, relative tolerance 1e-10", 0), 0u) << zfc;
  // Every number to 17 significant digits.
  EXPECT_NE(zfc.find("e-"), std::string::npos);
  for (int m : {100, 200, 400}) {
    w.writeParameters(record(m));
    ASSERT_EQ(lab(w, "curves --model grid --out-dir .").status, 0);
    zfcDeparture.push_back(relativeDeparture(readFile(w.root() / "ZFCFC.txt"), zfc, 1));
    loopDeparture.push_back(relativeDeparture(readFile(w.root() / "moment.txt"), loop, 1));
  }
  // Doubling m roughly halves the departure: first order, not stuck at a
  // floor (which a limit that is not the grid's would show).
  constexpr double kHalvingSlack = 0.35;
  for (std::size_t k = 0; k + 1 < zfcDeparture.size(); ++k) {
    EXPECT_NEAR(zfcDeparture[k + 1] / zfcDeparture[k], 0.5, kHalvingSlack) << k;
    EXPECT_NEAR(loopDeparture[k + 1] / loopDeparture[k], 0.5, kHalvingSlack) << k;
  }
  EXPECT_LT(zfcDeparture.back(), 0.05);
  EXPECT_LT(loopDeparture.back(), 0.05);
}

TEST(CurvesCommand, RefusesABadModelOrToleranceAndWritesNothing) {
  Workspace w;
  w.writeParameters(record(30));
  for (const char* arguments : {"--tol -1", "--tol 0", "--tol nan", "--tol 1e-15", "--tol inf", "--tol 2", "--tol 1.5",
                                "--model exact", "--model Continuum", "--tol abc"}) {
    const RunResult r = lab(w, std::string("curves --out-dir . ") + arguments);
    EXPECT_EQ(r.status, 2) << arguments;
    EXPECT_EQ(countLines(r.err), 1u) << arguments << ": " << r.err;
    EXPECT_FALSE(std::filesystem::exists(w.root() / "ZFCFC.txt")) << arguments;
    EXPECT_FALSE(std::filesystem::exists(w.root() / "moment.txt")) << arguments;
  }
  // The help says "up to 1": 1 itself is a tolerance.
  const RunResult coarsest = lab(w, "curves --out-dir . --tol 1");
  EXPECT_EQ(coarsest.status, 0) << coarsest.err;
  EXPECT_NE(readFile(w.root() / "ZFCFC.txt").find("relative tolerance 1;"), std::string::npos);
  std::filesystem::remove(w.root() / "ZFCFC.txt");
  std::filesystem::remove(w.root() / "moment.txt");
  w.writeParameters("600 1e-15 0.5 300 1.5 60 1 40 1 -20 1 G 30 0.01 y 100 300 y 300 -5 50 300 0.1 n\n");
  const RunResult noLoop = lab(w, "curves --out-dir .");
  EXPECT_EQ(noLoop.status, 2);
  EXPECT_NE(noLoop.err.find("Ha_max"), std::string::npos) << noLoop.err;
  // Without a moment the continuum has nothing to compute: refused, not a
  // file of nan.
  w.writeParameters("600 0 0.5 300 1.5 60 1 40 1 -20 1 G 30 0.01 y 100 300 y 300 3000 50 300 0.1 n\n");
  for (const char* model : {"continuum", "grid"}) {
    const RunResult noMoment = lab(w, std::string("curves --out-dir . --model ") + model);
    EXPECT_EQ(noMoment.status, 2) << model;
    EXPECT_NE(noMoment.err.find("mu0=0 emu"), std::string::npos) << noMoment.err;
    EXPECT_FALSE(std::filesystem::exists(w.root() / "ZFCFC.txt"));
  }
}

// Records whose grid gives nan (the density 0 at every node, Norm_coeff
// infinite): the lab says so with exit status 1 and writes nothing, where
// the continuum has finite curves to write.
TEST(CurvesCommand, RefusesToWriteTheGridsNanAndSaysWhy) {
  struct Case {
    const char* record;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 20 0.01 n 100 300 y 300 1e5 50 300 0.1 n",
       "the hysteresis loop on the grid of m = 20 divisions (the program's arithmetic) is not finite at 82 of 82 "
       "fields (nan or inf): Norm_coeff is infinite because the density at T_hyst=300 K (hc0_mean=300, sigmac0=30, "
       "sigmai0=30 Oe at 0 K) is 0 at every node of the loop's grid: Ha_max=100000 Oe is too wide for it"},
      {"600 3e-18 0.5 300 1.5 30 1 30 1 0 1 G 20 0.01 y 100 300 n 300 3000 50 300 0.1 n",
       "the ZFC/FC curves on the grid of m = 20 divisions (the program's arithmetic) are not finite at 39 of 39 "
       "temperatures (nan or inf): Norm_coeff is infinite because mu0 is tiny"},
  };
  for (const Case& c : cases) {
    Workspace w;
    w.writeParameters(c.record);
    const RunResult grid = lab(w, "curves --model grid --out-dir .");
    EXPECT_EQ(grid.status, 1) << c.record;
    EXPECT_EQ(countLines(grid.err), 1u) << grid.err;
    EXPECT_NE(grid.err.find(c.message), std::string::npos) << grid.err;
    for (const char* file : {"ZFCFC.txt", "separate.txt", "moment.txt"})
      EXPECT_FALSE(std::filesystem::exists(w.root() / file)) << file;
    const RunResult continuum = lab(w, "curves --out-dir .");
    EXPECT_EQ(continuum.status, 0) << continuum.err;
    for (const char* file : {"ZFCFC.txt", "moment.txt"}) {
      if (!std::filesystem::exists(w.root() / file)) continue;
      const std::string text = readFile(w.root() / file);
      EXPECT_EQ(text.find("nan"), std::string::npos) << file;
      EXPECT_EQ(text.find("inf"), std::string::npos) << file;
    }
  }
}

}  // namespace
}  // namespace preisach::test
