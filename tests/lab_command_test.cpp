// End-to-end: preisach-lab as a user runs it, in a temporary folder with a
// real parameter file and data files; its exit status, one clear line on
// standard error for any input it cannot use, and a fitted parameter file
// with which preisach reproduces the fitted curves.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "lab/fit_command.h"
#include "lab/lab_files.h"
#include "test_support.h"

namespace preisach::test {
namespace {

RunResult lab(const Workspace& w, const std::string& arguments) {
  return w.runCommand("cd '" + w.root().string() + "' && timeout -s KILL 300 '" + PREISACH_LAB_EXECUTABLE + "' " +
                      arguments + " > stdout.txt 2> stderr.txt < /dev/null");
}

constexpr char kRecord[] = "600 1e-15 0.5 300 1.5 100 1 100 1 0 1 G 40 0.01 y 100 300 n 300 2000 50 300 0.1 n";

TEST(LabCommand, GivesHelpOnEveryCommand) {
  Workspace w;
  const RunResult top = lab(w, "--help");
  EXPECT_EQ(top.status, 0);
  EXPECT_NE(top.out.find("fit"), std::string::npos) << top.out;
  const RunResult fit = lab(w, "fit --help");
  EXPECT_EQ(fit.status, 0);
  for (const char* option : {"--params", "--zfcfc", "--zfc", "--fc", "--loop", "--free", "--out", "--starts", "--model",
                             "--tol", "in K", "in Oe", "in emu"})
    EXPECT_NE(fit.out.find(option), std::string::npos) << option;
  const RunResult history = lab(w, "history --help");
  EXPECT_EQ(history.status, 0);
  for (const char* option : {"--params", "--fields", "--out"})
    EXPECT_NE(history.out.find(option), std::string::npos) << option;
  const RunResult forc = lab(w, "forc --help");
  EXPECT_EQ(forc.status, 0);
  for (const char* option : {"--params", "--step", "--sf", "--measured", "--out-dir"})
    EXPECT_NE(forc.out.find(option), std::string::npos) << option;
  for (const RunResult* help : {&fit, &history, &forc})
    for (const char* unit : {"K", "Oe", "emu"}) EXPECT_NE(help->out.find(unit), std::string::npos) << unit;
  EXPECT_EQ(lab(w, "").status, 2);
  EXPECT_EQ(lab(w, "fly").status, 2);
}

TEST(LabCommand, RefusesInputItCannotUseWithOneLine) {
  Workspace w;
  w.writeParameters(kRecord);
  writeFile(w.root() / "curves.txt", "5 1e-16 2e-16\n10 2e-16 3e-16\n600 2e-16 3e-16\n");
  writeFile(w.root() / "two.txt", "5 1e-16 2e-16\n");
  // Ha_max is 2000 Oe: 2001 is an overshoot taken as 2000, 2100 lies beyond.
  writeFile(w.root() / "farloop.txt", "2001 1e-16\n2100 1e-16\n0 0\n");
  writeFile(w.root() / "nearloop.txt", "100 1e-16\n-100 -1e-16\n");
  struct Case {
    std::string arguments;
    std::string line;
  };
  const std::vector<Case> cases = {
      {"fit --free N", "no measured data"},
      {"fit --zfcfc missing.txt --free N", "missing.txt: cannot be opened"},
      {"fit --zfcfc curves.txt --free N", "curves.txt:3:1: the temperature 600"},
      {"fit --zfcfc two.txt --free N,hc0_mean,sigmac0", "no more than the 3 free parameters"},
      {"fit --zfcfc two.txt --free m", "\"m\" is not a parameter that can be fitted"},
      {"fit --zfcfc curves.txt --free N --out nowhere/fit.txt", "the folder nowhere does not exist"},
      {"forc --out-dir nowhere", "nowhere/forc-diagram.txt: the folder nowhere does not exist"},
      {"fit --params nothere.txt --zfcfc two.txt --free N", "nothere.txt: cannot be opened"},
      {"fit --zfcfc two.txt --model fine --free N", "--model: \"fine\" is neither continuum nor grid"},
      {"fit --zfcfc two.txt --tol abc --free N", "--tol: \"abc\" is not a number"},
      {"fit --zfcfc two.txt --tol -1e-8 --free N", "--tol: -1e-08 is not a relative tolerance"},
      {"fit --zfcfc two.txt --tol 0 --free N", "--tol: 0 is not a relative tolerance"},
      {"fit --zfcfc two.txt --tol nan --free N", "--tol: nan is not a relative tolerance"},
      {"fit --zfcfc two.txt --tol 1e-15 --free N", "--tol: 1e-15 is not a relative tolerance from 1e-14"},
      {"fit --zfcfc two.txt@inf --free N", "two.txt@inf\": the value after @ is not a finite number"},
      {"fit --loop nearloop.txt@900 --free N", "the loop's temperature 900.000000 K is not between 0 and Tc"},
      {"fit --loop farloop.txt --free N", "farloop.txt:2:1: the field 2100 Oe lies outside the loop's range"},
  };
  for (const Case& c : cases) {
    const RunResult r = lab(w, c.arguments);
    EXPECT_NE(r.status, 0) << c.arguments;
    EXPECT_NE(r.err.find(c.line), std::string::npos) << c.arguments << ": " << r.err;
    EXPECT_LE(countLines(r.err), 2u) << c.arguments << ": " << r.err;
    if (c.arguments.find("--tol") != std::string::npos || c.arguments.find("--model") != std::string::npos) {
      EXPECT_EQ(r.status, 2) << c.arguments;
      EXPECT_EQ(countLines(r.err), 1u) << c.arguments << ": " << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(w.dataDir() / "Parameters.fit.txt")) << c.arguments;
    EXPECT_FALSE(std::filesystem::exists(w.dataDir() / "Parameters.fit.curves.txt")) << c.arguments;
  }
  writeFile(w.dataDir() / "Parameters.txt", "600 1e-15 q");
  const RunResult refused = lab(w, "fit --zfcfc two.txt --free N");
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("Magnetism/Parameters.txt: line 1, column 11: value 3 (Gamma) cannot be read"),
            std::string::npos)
      << refused.err;
}

// The rows "T M_ZFC M_FC" of the program's ZFCFCbc.txt, as "%f %e %e".
std::string zfcFcRows(const std::string& curves) {
  std::istringstream in(curves);
  std::vector<double> T, zfc, fc;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream row(line);
    std::string name;
    double x = 0, measured = 0, model = 0;
    row >> name >> x >> measured >> model;
    if (name == "ZFC") T.push_back(x), zfc.push_back(model);
    if (name == "FC") fc.push_back(model);
  }
  std::string rows;
  for (std::size_t k = 0; k < T.size(); ++k) {
    char text[128];
    std::snprintf(text, sizeof text, "%f %e %e\n", T[k], zfc[k], fc[k]);
    rows += text;
  }
  return rows;
}

TEST(LabCommand, WritesAParameterFileWithWhichThePreisachProgramReproducesTheFit) {
  Workspace w;
  // Measured curves: the program's own result file at m = 80.
  w.writeParameters("600 1e-15 0.5 300 1.5 100 1 100 1 0 1 G 80 0.01 y 100 300 n 300 2000 50 300 0.1 n");
  ASSERT_EQ(w.run("").status, 0);
  std::filesystem::copy_file(w.dataDir() / "ZFCFCbc.txt", w.root() / "measured.txt");
  w.writeParameters("600 1e-15 0.5 330 1.5 100 1 100 1 0 0.8 G 40 0.01 y 100 300 n 300 2000 50 300 0.1 n");
  const RunResult r = lab(w, "fit --model grid --zfcfc measured.txt --free hc0_mean,N --out fitted.txt");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("the program's grid at m = 40"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("[[Variables]]"), std::string::npos);
  EXPECT_NE(r.out.find("uniform per dataset"), std::string::npos) << "the file has no error column";
  EXPECT_NE(r.err.find("fit: start 1, iteration 0:"), std::string::npos) << r.err;  // then at most one line a second
  const std::string curves = readFile(w.root() / "fitted.curves.txt");
  ASSERT_FALSE(curves.empty());
  if (lab::haveGnuplot()) {
    EXPECT_GT(std::filesystem::file_size(w.root() / "fitted.png"), 10000u);
  }
  // preisach run on the fitted file computes exactly the fitted curves.
  std::filesystem::copy_file(w.root() / "fitted.txt", w.dataDir() / "Parameters.txt",
                             std::filesystem::copy_options::overwrite_existing);
  ASSERT_EQ(w.run("").status, 0);
  EXPECT_EQ(readFile(w.dataDir() / "ZFCFCbc.txt"), zfcFcRows(curves));
}

TEST(LabCommand, SplitsADataOptionAtItsLastAtSign) {
  const lab::DataOption field = lab::parseDataOption("curves.txt@50");
  EXPECT_EQ(field.file, "curves.txt");
  EXPECT_TRUE(field.hasValue);
  EXPECT_EQ(field.value, 50.0);
  const lab::DataOption negative = lab::parseDataOption("a@b/curves.dat@-1.5e2");
  EXPECT_EQ(negative.file, "a@b/curves.dat");
  EXPECT_EQ(negative.value, -150.0);
  // No number after the @: the whole text is the file's name.
  const lab::DataOption name = lab::parseDataOption("me@home.txt");
  EXPECT_EQ(name.file, "me@home.txt");
  EXPECT_FALSE(name.hasValue);
  EXPECT_FALSE(lab::parseDataOption("curves.txt@").hasValue);
  EXPECT_FALSE(lab::parseDataOption("curves.txt").hasValue);
}

// A magnetometer file of the ZFC and FC rows "T M_ZFC M_FC" in `field` Oe.
std::string magnetometerFile(const std::string& rows, double field) {
  std::string text = "[Header]\nTITLE,test\n[Data]\nComment,Temperature (K),Magnetic Field (Oe),Moment (emu)\n";
  for (int branch = 0; branch < 2; ++branch) {
    std::istringstream in(rows);
    bool first = true;
    for (std::string line; std::getline(in, line);) {
      std::istringstream row(line);
      std::string T, zfc, fc;
      row >> T >> zfc >> fc;
      text += std::string(first ? (branch == 0 ? "ZFC" : "FC") : "") + "," + T + "," + std::to_string(field) + "," +
              (branch == 0 ? zfc : fc) + "\n";
      first = false;
    }
  }
  return text;
}

TEST(LabCommand, FitsManyDatasetsEachInItsOwnFieldOnTheContinuum) {
  Workspace w;
  // ZFC/FC of the program at m = 200 in 100 Oe; the start's file says 40 Oe.
  w.writeParameters("600 1e-15 0.5 300 1.5 100 1 100 1 0 1 G 200 0.01 y 100 300 n 300 2000 50 300 0.1 n");
  ASSERT_EQ(w.run("").status, 0);
  const std::string rows = readFile(w.dataDir() / "ZFCFCbc.txt");
  writeFile(w.root() / "plain.txt", rows);
  writeFile(w.root() / "instrument.dat", magnetometerFile(rows, 100.0));
  w.writeParameters("600 1e-15 0.5 330 1.5 100 1 100 1 0 0.8 G 200 0.01 y 40 300 n 300 2000 50 300 0.1 n");
  const RunResult r =
      lab(w, "fit --zfcfc instrument.dat --zfcfc plain.txt@100 --free hc0_mean,N --starts 2 --out fitted.txt");
  ASSERT_EQ(r.status, 0) << r.err << r.out;
  for (const char* line :
       {"continuum limit of the grid sums (integrals to a relative tolerance of 1e-10)",
        "ZFC (instrument.dat): 39 points in 100 Oe (the mean of the file's field column over measurement 1",
        "ZFC-2 (plain.txt): 39 points in 100 Oe (the field from --zfcfc plain.txt@100)",
        "[[Grid]] (preisach at m = 200", "[[Minima]]"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
  // The fitted file records the one field the fit used.
  const std::string fitted = readFile(w.root() / "fitted.txt");
  std::istringstream values(fitted);
  std::vector<std::string> v{std::istream_iterator<std::string>(values), std::istream_iterator<std::string>()};
  ASSERT_EQ(v.size(), 24u) << fitted;
  EXPECT_EQ(v[15], "100") << fitted;
}

TEST(LabCommand, TakesALoopsTemperatureFromItsSuffixIntoTheFittedFile) {
  Workspace w;
  w.writeParameters("600 1e-15 0.5 300 1.5 60 1 100 1 20 1 G 100 0.01 n 100 300 y 250 1000 50 300 0.1 n");
  ASSERT_EQ(w.run("").status, 0);
  std::filesystem::copy_file(w.dataDir() / "momentbc.txt", w.root() / "loop.txt");
  w.writeParameters("600 1e-15 0.5 330 1.5 60 1 100 1 20 0.8 G 100 0.01 n 100 300 y 300 1000 50 300 0.1 n");
  const RunResult r = lab(w, "fit --loop loop.txt@250 --free hc0_mean,N --out fitted.txt");
  ASSERT_EQ(r.status, 0) << r.err << r.out;
  EXPECT_NE(r.out.find("points at 250 K (the temperature from --loop loop.txt@250)"), std::string::npos) << r.out;
  std::istringstream values(readFile(w.root() / "fitted.txt"));
  std::vector<std::string> v{std::istream_iterator<std::string>(values), std::istream_iterator<std::string>()};
  ASSERT_EQ(v.size(), 24u);
  EXPECT_EQ(v[18], "250");
  // The same loop as a magnetometer file measured at 249 and 251 K: its
  // temperature is the column's mean.
  std::string instrument = "[Header]\n[Data]\nTemperature (K),Magnetic Field (Oe),Moment (emu)\n";
  std::istringstream rows(readFile(w.root() / "loop.txt"));
  int row = 0;
  for (std::string line; std::getline(rows, line); ++row) {
    std::istringstream cells(line);
    std::string H, M;
    cells >> H >> M;
    instrument += (row % 2 == 0 ? "249," : "251,") + H + "," + M + "\n";
  }
  writeFile(w.root() / "loop.dat", instrument);
  const RunResult fromColumn = lab(w, "fit --loop loop.dat --free hc0_mean,N --out fitted2.txt");
  ASSERT_EQ(fromColumn.status, 0) << fromColumn.err << fromColumn.out;
  EXPECT_NE(fromColumn.out.find(
                "points at 250 K (the mean of the file's temperature column over measurement 1: loop at 250 K"),
            std::string::npos)
      << fromColumn.out;
}

constexpr char kLoopRecord[] = "600 1e-15 0.5 300 1.5 60 1 100 1 20 1 G 40 0.01 n 100 300 y 300 1000 50 300 0.1 n";

TEST(LabCommand, FollowsTheLoopsOwnFieldsToTheSameRows) {
  Workspace w;
  w.writeParameters(kLoopRecord);
  ASSERT_EQ(w.run("").status, 0);
  const std::string loop = readFile(w.dataDir() / "momentbc.txt");
  std::string fields = "# the loop's fields, read from momentbc.txt\n";
  std::istringstream rows(loop);
  for (std::string line; std::getline(rows, line);) fields += line.substr(0, line.find(' ')) + "\n";
  writeFile(w.root() / "fields.txt", fields);
  const RunResult r = lab(w, "history --model grid --fields fields.txt --out history.txt");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(w.root() / "history.txt"), loop);
}

// The rows "Hc Hu rho" of a diagram file, blocks flattened.
std::vector<std::array<double, 3>> diagramRows(const std::string& text) {
  std::vector<std::array<double, 3>> rows;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::array<double, 3> row{};
    std::istringstream words(line);
    if (line.empty() || line[0] == '#' || !(words >> row[0] >> row[1] >> row[2])) continue;
    rows.push_back(row);
  }
  return rows;
}

TEST(LabCommand, WritesTheModelsOwnFORCDistributionBesideTheProcessedOneOnTheContinuum) {
  Workspace w;
  w.writeParameters(kLoopRecord);
  ASSERT_EQ(lab(w, "forc --step 10 --sf 1").status, 0);
  const auto processed = diagramRows(readFile(w.dataDir() / "forc-diagram.txt"));
  const auto exact = diagramRows(readFile(w.dataDir() / "forc-diagram-exact.txt"));
  ASSERT_EQ(processed.size(), exact.size());
  ASSERT_FALSE(exact.empty());
  // The same points. A local quadratic fit over 3 x 3 points 10 Oe apart
  // lowers and widens the peak of a density 30 Oe wide (sigma_c at T_hyst)
  // by a few per cent, and keeps its integral (the sum over the points).
  constexpr double kSmoothingOfThePeak = 0.08;
  constexpr double kSmoothingOfTheIntegral = 0.02;
  double processedPeak = 0.0, exactPeak = 0.0, processedSum = 0.0, exactSum = 0.0;
  for (std::size_t k = 0; k < exact.size(); ++k) {
    ASSERT_EQ(exact[k][0], processed[k][0]);
    ASSERT_EQ(exact[k][1], processed[k][1]);
    processedPeak = std::max(processedPeak, processed[k][2]);
    exactPeak = std::max(exactPeak, exact[k][2]);
    processedSum += processed[k][2];
    exactSum += exact[k][2];
  }
  EXPECT_NEAR(processedPeak / exactPeak, 1.0, kSmoothingOfThePeak);
  EXPECT_NEAR(processedSum / exactSum, 1.0, kSmoothingOfTheIntegral);
  // The grid's curves have no exact diagram beside them: an older one goes.
  ASSERT_EQ(lab(w, "forc --model grid --step 25 --sf 2").status, 0);
  EXPECT_FALSE(std::filesystem::exists(w.dataDir() / "forc-diagram-exact.txt"));
}

TEST(LabCommand, RefusesABadFieldsFileWithItsLineNumber) {
  Workspace w;
  w.writeParameters(kLoopRecord);
  struct Case {
    std::string fields;
    std::string line;
  };
  const std::vector<Case> cases = {
      {"100\n# note\n1500\n", "fields.txt:3: the field 1500 Oe lies outside the loop's range +-Ha_max = 1000 Oe"},
      {"100\n50 Oe\n", "fields.txt:2: \"50 Oe\" is not one field in Oe"},
      {"100\nnan\n", "fields.txt:2: the field nan Oe lies outside"},
      {"# nothing\n", "fields.txt: holds no field"},
  };
  for (const Case& c : cases) {
    writeFile(w.root() / "fields.txt", c.fields);
    const RunResult r = lab(w, "history --fields fields.txt --out history.txt");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(c.line), std::string::npos) << r.err;
    EXPECT_EQ(countLines(r.err), 1u) << r.err;
    EXPECT_FALSE(std::filesystem::exists(w.root() / "history.txt"));
  }
}

TEST(LabCommand, WritesFORCsTheirDiagramAndReadsTheCurvesBack) {
  Workspace w;
  w.writeParameters(kLoopRecord);
  const RunResult r = lab(w, "forc --step 50 --sf 2");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string curves = readFile(w.dataDir() / "forc-curves.frc");
  EXPECT_EQ(curves.rfind("MicroMag 2900/3900 Data File", 0), 0u);
  EXPECT_NE(curves.find("NCrv           = 40\r\n"), std::string::npos);
  const std::string diagram = readFile(w.dataDir() / "forc-diagram.txt");
  EXPECT_EQ(diagram.rfind("# FORC distribution", 0), 0u);
  if (lab::haveGnuplot()) {
    EXPECT_GT(std::filesystem::file_size(w.dataDir() / "forc-diagram.png"), 10000u);
  }
  // The written curves, processed as a measurement, give the same diagram.
  std::filesystem::create_directory(w.root() / "measured");
  const RunResult measured = lab(w, "forc --measured Magnetism/forc-curves.frc --sf 2 --out-dir measured");
  ASSERT_EQ(measured.status, 0) << measured.err;
  EXPECT_EQ(numberRows(readFile(w.root() / "measured" / "forc-diagram.txt")), numberRows(diagram));
  const RunResult broken = lab(w, "forc --measured missing.frc");
  EXPECT_EQ(broken.status, 2);
  EXPECT_NE(broken.err.find("missing.frc: cannot be opened"), std::string::npos) << broken.err;
}

TEST(LabCommand, RefusesDataInOtherUnitsOrOfAnotherKindWithTheReason) {
  Workspace w;
  w.writeParameters(kRecord);
  // A loop in tesla (Ha_max is 2000 Oe), a ZFC/FC curve at one field given
  // as a loop, moments of zero.
  writeFile(w.root() / "tesla.txt", "0.2 1e-15\n0.1 5e-16\n0 0\n-0.1 -5e-16\n-0.2 -1e-15\n");
  writeFile(w.root() / "onefield.txt", "100 1e-15\n100 2e-15\n100 3e-15\n");
  writeFile(w.root() / "zeros.txt", "5 1e-320 2e-320\n10 2e-320 3e-320\n15 3e-320 3e-320\n");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"fit --loop tesla.txt --free N", "are the fields in Oe (1 T = 10^4 Oe)"},
      {"fit --loop onefield.txt --free N", "a curve at one field is a ZFC/FC measurement"},
      {"fit --zfcfc zeros.txt --free N", "is too small to weigh the points by; give moments and errors in emu"},
  };
  for (const auto& [arguments, reason] : cases) {
    const RunResult r = lab(w, arguments + " --out fit.txt");
    EXPECT_EQ(r.status, 2) << arguments;
    EXPECT_NE(r.err.find(reason), std::string::npos) << arguments << ": " << r.err;
    EXPECT_EQ(countLines(r.err), 1u) << r.err;
    EXPECT_FALSE(std::filesystem::exists(w.root() / "fit.txt"));
  }
}

TEST(LabCommand, WritesTheFitReportBesideTheFittedFile) {
  Workspace w;
  w.writeParameters(kRecord);
  ASSERT_EQ(w.run("n\n").status, 0);
  const RunResult r = lab(w, "fit --zfcfc Magnetism/ZFCFCbc.txt --free N --out fit.txt");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readFile(w.root() / "fit.report.txt"), r.out);
  EXPECT_NE(r.out.find("[[Variables]]"), std::string::npos) << r.out;
  EXPECT_TRUE(std::filesystem::exists(w.root() / "fit.curves.txt"));
}

TEST(LabCommand, CallsAFitThatMatchesNoiselessCurvesExactlyAMinimum) {
  Workspace w;
  w.writeParameters(kRecord);
  ASSERT_EQ(lab(w, "curves --out-dir .").status, 0);
  // The model's own curves, with N 20 % off in the file the fit starts from.
  w.writeParameters("600 1e-15 0.5 300 1.5 100 1 100 1 0 1.2 G 40 0.01 y 100 300 n 300 2000 50 300 0.1 n");
  const RunResult r = lab(w, "fit --zfcfc ZFCFC.txt --free N --given-start --out fit.txt");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("at a minimum       = yes"), std::string::npos) << r.out;
}

TEST(LabCommand, RefusesAFieldsFileThatIsNoRegularFileAtOnce) {
  Workspace w;
  w.writeParameters(kLoopRecord);
  const RunResult r = lab(w, "history --fields /dev/zero --out history.txt");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("is not a regular file"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(w.root() / "history.txt"));
}

// A real measurement sequence (tests/data/real-magnetometer): every
// measurement of the option's kind is a dataset at its own field or
// temperature, a suffix picks the one nearest to it, and a file without
// what the option asks for is refused with what it holds.
TEST(LabCommand, FitsEachMeasurementOfARealSequenceAtItsOwnFieldOrTemperature) {
  Workspace w;
  const std::string real = std::string(PREISACH_SOURCE_DIR) + "/tests/data/real-magnetometer/";
  // T_max 310 K as measured; Ha_max 70 kOe as the loops reach.
  w.writeParameters("600 1e-15 0.5 300 1.5 100 1 100 1 0 1 G 40 0.01 y 100 310 y 300 70100 50 300 0.1 n");
  struct Case {
    std::string data;
    std::vector<std::string> datasets;  // as the curves file names them
  };
  const std::vector<Case> cases = {
      {"--zfcfc '" + real + "zfcfc4.dat'", {"ZFC", "FC", "ZFC-2", "FC-2"}},
      {"--zfcfc '" + real + "zfcfc4.dat@1000'", {"ZFC", "FC"}},
      {"--fc '" + real + "fc7.dat'", {"FC"}},
      {"--loop '" + real + "mvsh2.dat@300'", {"loop"}},
      {"--loop '" + real + "mvsh2.dat'", {"loop", "loop-2"}},
      {"--loop '" + real + "mvsh8.dat'", {"loop"}},
  };
  for (const Case& c : cases) {
    const RunResult r = lab(w, "fit " + c.data + " --free N --out fit.txt");
    ASSERT_LE(r.status, 1) << c.data << "\n" << r.err;
    std::vector<std::string> names;
    std::istringstream rows(readFile(w.root() / "fit.curves.txt"));
    for (std::string line; std::getline(rows, line);) {
      const std::string name = line.substr(0, line.find(' '));
      if (!line.empty() && line[0] != '#' && std::find(names.begin(), names.end(), name) == names.end())
        names.push_back(name);
    }
    EXPECT_EQ(names, c.datasets) << c.data;
  }
  // The 1000-Oe pair, picked, is fitted in its own field.
  ASSERT_LE(lab(w, "fit --zfcfc '" + real + "zfcfc4.dat@1000' --free N --out fit.txt").status, 1);
  EXPECT_NE(readFile(w.root() / "fit.report.txt").find("points in 1000."), std::string::npos);
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"--loop '" + real + "mvsh2.dat@10'", "holds no loop within 0.5 K of 10; it holds loop at 5.00"},
      {"--zfcfc '" + real + "zfc7.dat'", "holds no ZFC/FC pair; it holds temperature sweep at 100"},
      {"--loop '" + real + "zfcfc3.dat'", "holds no loop; it holds ZFC at 99.9"},
  };
  for (const auto& [data, message] : refused) {
    const RunResult r = lab(w, "fit " + data + " --free N --out fit.txt");
    EXPECT_EQ(r.status, 2) << data;
    EXPECT_NE(r.err.find(message), std::string::npos) << data << "\n" << r.err;
  }
  w.writeParameters(kRecord);  // Ha_max 2000 Oe
  const RunResult narrow = lab(w, "fit --loop '" + real + "mvsh4.dat' --free N --out fit.txt");
  EXPECT_EQ(narrow.status, 2);
  EXPECT_NE(narrow.err.find("raise Ha_max in the parameter file"), std::string::npos) << narrow.err;
}

// Data a fit cannot judge or a model cannot take: refused (exit 2) with
// one line before any work, and no file written. Ha_max is 2000 Oe, Tc 600 K.
TEST(LabCommand, RefusesDegenerateDataBeforeAnyWork) {
  Workspace w;
  w.writeParameters(kRecord);
  const std::string rows = "5 1e-16 2e-16\n50 3e-16 4e-16\n100 5e-16 5e-16\n200 4e-16 4e-16\n";
  writeFile(w.root() / "curves.txt", rows);
  writeFile(w.root() / "one.txt", "5 1e-16\n");
  writeFile(w.root() / "cold.txt", "1e-300 1e-16 2e-16\n10 2e-16 3e-16\n20 3e-16 3e-16\n");
  writeFile(w.root() / "tesla.dat", magnetometerFile(rows, 1e10));
  writeFile(w.root() / "huge.txt", "5 1e200 2e200\n10 2e200 3e200\n20 3e200 3e200\n");
  writeFile(w.root() / "twopoints.txt", "2000 1e-15\n-2000 -1e-15\n");
  writeFile(w.root() / "loop.txt", "2000 1e-15\n1000 8e-16\n0 1e-16\n-1000 -8e-16\n-2000 -1e-15\n");
  struct Case {
    std::string arguments;
    std::string line;
  };
  const std::vector<Case> cases = {
      {"--zfc one.txt --free hc0_mean", "the data hold 1 point, no more than the 1 free parameter"},
      {"--zfc curves.txt --zfc curves.txt --free N,hc0_mean,sigmac0,sigmai0,mu0,Gamma,Gamma_c,Gamma_i",
       "the data hold 8 points, no more than the 8 free parameters"},
      {"--zfcfc curves.txt@1e10 --free N", "--zfcfc: \"1e10\" is not a field in Oe"},
      {"--zfc curves.txt@1e308 --free N", "--zfc: \"1e308\" is not a field in Oe"},
      {"--fc curves.txt@-3e5 --free N",
       "--fc: \"-3e5\" is not a field in Oe (the value after @ in \"curves.txt@-3e5\""},
      {"--zfcfc tesla.dat --free N", "the mean of its field column, 1e+10 Oe, is not a field in Oe within 100 Ha_max"},
      {"--zfcfc cold.txt --free N", "cold.txt:1:1: the temperature 1e-300 K lies below 0.001 K"},
      {"--zfcfc huge.txt --free N", "huge.txt: its largest moment is 3e+200 emu: no sample has such a moment"},
      {"--loop twopoints.txt --free N", "twopoints.txt: a loop of 2 points: a loop needs at least 5"},
      {"--loop loop.txt@1e300 --free N", "--loop: \"1e300\" is not a temperature in K"},
      {"--loop loop.txt@1e-300 --free N", "--loop: \"1e-300\" is not a temperature in K"},
  };
  for (const Case& c : cases) {
    const RunResult r = lab(w, "fit " + c.arguments + " --out fit.txt");
    EXPECT_EQ(r.status, 2) << c.arguments << ": " << r.err;
    EXPECT_NE(r.err.find(c.line), std::string::npos) << c.arguments << ": " << r.err;
    EXPECT_EQ(countLines(r.err), 1u) << c.arguments << ": " << r.err;
    EXPECT_EQ(r.out, "") << c.arguments;
    EXPECT_FALSE(std::filesystem::exists(w.root() / "fit.txt")) << c.arguments;
  }
}

// An option's message names the option and what it takes, not the parser's
// or the solver's words.
TEST(LabCommand, NamesTheOptionAndWhatItTakes) {
  Workspace w;
  w.writeParameters(kRecord);
  writeFile(w.root() / "curves.txt", "5 1e-16 2e-16\n50 3e-16 4e-16\n100 5e-16 5e-16\n200 4e-16 4e-16\n");
  struct Case {
    std::string arguments;
    std::string line;
  };
  const std::vector<Case> cases = {
      {"--starts 1e3", "--starts: \"1e3\" is not a whole number of starts from 1 to 1000"},
      {"--starts 0", "--starts: \"0\" is not a whole number of starts from 1 to 1000"},
      {"--starts 2.5", "--starts: \"2.5\" is not a whole number of starts from 1 to 1000"},
      {"--free Tc=100:200", "Tc must exceed the data's highest temperature (300 K)"},
      {"--free hc0_mean=-50:-10", "hc0_mean must be positive"},
      {"--zfcfc curves.txt@abc", "\"abc\" after the @ of \"curves.txt@abc\" is not a number"},
      {"--error 150%", "--error: \"150%\" is neither a share of each moment below 100 %"},
      {"--error -2e-8", "--error: \"-2e-8\" is neither"},
  };
  for (const Case& c : cases) {
    const std::string arguments =
        "fit " + c.arguments + (c.arguments.find("--free") == std::string::npos ? " --free N" : "") +
        (c.arguments.find("--zfcfc") == std::string::npos ? " --zfcfc curves.txt" : "") + " --out fit.txt";
    const RunResult r = lab(w, arguments);
    EXPECT_EQ(r.status, 2) << arguments;
    EXPECT_NE(r.err.find(c.line), std::string::npos) << arguments << ": " << r.err;
    EXPECT_EQ(countLines(r.err), 1u) << arguments << ": " << r.err;
    EXPECT_EQ(r.err.find("not in range"), std::string::npos) << r.err;
  }
  const RunResult sf = lab(w, "forc --sf 1.5");
  EXPECT_EQ(sf.status, 2);
  EXPECT_NE(sf.err.find("--sf: \"1.5\" is not a whole number of smoothing factor SF from 1 to 20"), std::string::npos)
      << sf.err;
}

// A file whose name holds "@5" is named with a trailing "@"; without it the
// message says how.
TEST(LabCommand, ReadsAFileWhoseNameEndsInAnAtAndANumber) {
  Workspace w;
  w.writeParameters(kRecord);
  ASSERT_EQ(w.run("n\n").status, 0);
  std::filesystem::copy_file(w.dataDir() / "ZFCFCbc.txt", w.root() / "run@5");
  const RunResult plain = lab(w, "fit --zfcfc run@5 --free N --out fit.txt");
  EXPECT_EQ(plain.status, 2);
  EXPECT_NE(plain.err.find("run: cannot be opened (\"run@5\" is read as the file run at 5; to read the file run@5 "
                           "write \"run@5@\")"),
            std::string::npos)
      << plain.err;
  const RunResult escaped = lab(w, "fit --zfcfc run@5@ --free N --out fit.txt");
  EXPECT_EQ(escaped.status, 0) << escaped.err;
  EXPECT_NE(escaped.out.find("ZFC (run@5): 39 points in 100 Oe (ha of the parameter file)"), std::string::npos)
      << escaped.out;
  const lab::DataOption option = lab::parseDataOption("run@5@");
  EXPECT_EQ(option.file, "run@5");
  EXPECT_FALSE(option.hasValue);
}

// mu0 = 3e-18 emu: the continuum has finite curves, the program's grid at
// m = 20 none (its density is 0 at every node); the comparison must not
// read as perfect agreement.
TEST(LabCommand, SaysTheGridGivesNanRatherThanAZeroDeparture) {
  Workspace w;
  w.writeParameters("600 3e-18 0.5 300 1.5 30 1 30 1 0 1 G 20 0.01 y 100 300 n 300 3000 50 300 0.1 n");
  ASSERT_EQ(lab(w, "curves --out-dir .").status, 0);
  const RunResult r = lab(w, "fit --zfcfc ZFCFC.txt --free N --out fit.txt");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("    ZFC: the grid gives NaN at m = 20"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("    FC: the grid gives NaN at m = 20"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("    ZFC: 0\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("preisach run on the fitted file writes rows of nan"), std::string::npos) << r.out;
}

// A fit stopped early, by its limits or by Ctrl-C, writes the best point it
// reached, says it is not a minimum and exits 1; --quiet writes no progress.
TEST(LabCommand, StopsAtItsLimitsOrCtrlCWritingTheBestPointReached) {
  Workspace w;
  const std::string real = std::string(PREISACH_SOURCE_DIR) + "/tests/data/real-magnetometer/zfcfc3.dat";
  w.writeParameters("600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 50 0.01 y 100 300 n 300 3000 50 300 0.1 n");
  const std::string fit = "fit --zfcfc '" + real + "' --free hc0_mean,sigmac0,sigmai0,N --out fit.txt";
  const RunResult limited = lab(w, fit + " --max-iterations 2 --quiet");
  EXPECT_EQ(limited.status, 1) << limited.err;
  EXPECT_EQ(limited.err.find("fit: start"), std::string::npos) << limited.err;
  EXPECT_NE(limited.out.find("at a minimum       = no (stopped at the limit of 2 iterations"), std::string::npos)
      << limited.out;
  EXPECT_NE(readFile(w.root() / "fit.report.txt").find("stopped at the limit of 2 iterations"), std::string::npos);
  std::istringstream curves(readFile(w.root() / "fit.curves.txt"));
  std::size_t points = 0;
  for (std::string line; std::getline(curves, line);) points += !line.empty() && line[0] != '#' ? 1u : 0u;
  EXPECT_EQ(points, 513u);  // every point, at the best point reached

  // Ctrl-C once the first iteration is reported, in a fit of many starts.
  std::filesystem::remove(w.root() / "fit.txt");
  const RunResult interrupted =
      w.runCommand("cd '" + w.root().string() + "' && ('" + PREISACH_LAB_EXECUTABLE + "' " + fit +
                   " --starts 50 > stdout.txt 2> stderr.txt < /dev/null & pid=$!; n=0; "
                   "while ! grep -q 'iteration 1' stderr.txt && [ $n -lt 600 ]; do sleep 0.05; n=$((n+1)); done; "
                   "kill -INT $pid; wait $pid)");
  EXPECT_EQ(interrupted.status, 1) << interrupted.err;
  EXPECT_NE(interrupted.err.find("stopped by an interrupt (Ctrl-C): the best point reached is written"),
            std::string::npos)
      << interrupted.err;
  EXPECT_TRUE(std::filesystem::exists(w.root() / "fit.txt"));
}

// Without --free nothing is fitted: the record is compared with the data,
// its chi-square and residuals reported and drawn, no parameter file written.
TEST(LabCommand, ComparesTheRecordWithTheDataWithoutAFit) {
  Workspace w;
  // The program's own curves, compared with the record that made them.
  w.writeParameters("600 1e-15 0.5 300 1.5 100 1 100 1 0 1 G 200 0.01 y 100 300 n 300 2000 50 300 0.1 n");
  ASSERT_EQ(w.run("").status, 0);
  writeFile(w.root() / "measured.txt", readFile(w.dataDir() / "ZFCFCbc.txt"));
  const RunResult same = lab(w, "fit --zfcfc measured.txt --model grid --out cmp.txt");
  ASSERT_EQ(same.status, 0) << same.err;
  EXPECT_NE(same.out.find("fitting method   = none: the parameter file's record compared with the data"),
            std::string::npos)
      << same.out;
  // Only the rounding of the program's six printed digits stays.
  const auto chiSquare = [](const std::string& report) {
    const std::size_t at = report.find("    chi-square         = ");
    return at == std::string::npos ? -1.0 : std::stod(report.substr(at + 25));
  };
  EXPECT_LT(chiSquare(same.out), 1e-6) << same.out;
  EXPECT_GE(chiSquare(same.out), 0.0) << same.out;
  EXPECT_FALSE(std::filesystem::exists(w.root() / "cmp.txt"));
  EXPECT_TRUE(std::filesystem::exists(w.root() / "cmp.curves.txt"));
  // Another record: the misfit is reported, not fitted away.
  w.writeParameters("600 1e-15 0.5 300 1.5 100 1 100 1 0 2 G 200 0.01 y 100 300 n 300 2000 50 300 0.1 n");
  const RunResult other = lab(w, "fit --zfcfc measured.txt --model grid --out cmp.txt");
  ASSERT_EQ(other.status, 0) << other.err;
  EXPECT_GT(chiSquare(other.out), 1.0) << other.out;
}

// A background beside the particles: the program's own loop plus a known
// slope chi·H, compared with the record that made it (nothing else free),
// gives chi back to the loop's printed digits, its part of every point as
// the curves file's last column, and the particles unchanged in the grid
// comparison.
TEST(LabCommand, FitsALinearBackgroundBesideTheRecordAndWritesItsPart) {
  Workspace w;
  w.writeParameters("600 1e-15 0.5 300 1.5 60 1 100 1 20 1 G 200 0.01 n 100 300 y 250 1000 50 300 0.1 n");
  ASSERT_EQ(w.run("").status, 0);
  constexpr double chi = -2.5e-19;  // emu/Oe: at 1000 Oe a tenth of the saturation of about 2.5e-15 emu
  std::string measured;
  std::istringstream rows(readFile(w.dataDir() / "momentbc.txt"));
  for (std::string line; std::getline(rows, line);) {
    std::istringstream cells(line);
    double H = 0.0, M = 0.0;
    cells >> H >> M;
    char row[96];
    std::snprintf(row, sizeof row, "%.9g %.9e\n", H, M + chi * H);
    measured += row;
  }
  writeFile(w.root() / "loop.txt", measured);
  const RunResult r = lab(w, "fit --loop loop.txt@250 --model grid --background linear --out cmp.txt");
  ASSERT_EQ(r.status, 0) << r.err << r.out;
  const std::size_t at = r.out.find("    chi_loop: ");
  ASSERT_NE(at, std::string::npos) << r.out;
  EXPECT_NEAR(std::stod(r.out.substr(at + 14)) / chi, 1.0, 1e-4) << r.out;
  EXPECT_NE(r.out.find("emu/Oe (linear susceptibility of the loop)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("# variables        = 1 (1 of the background)"), std::string::npos) << r.out;
  const std::string curves = readFile(w.root() / "cmp.curves.txt");
  EXPECT_EQ(curves.rfind("# dataset x measured model residual sigma background\n", 0), 0u) << curves;
  std::istringstream lines(curves);
  int points = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line[0] == '#') continue;
    std::istringstream cells(line);
    std::string name;
    double H = 0, measuredM = 0, model = 0, residual = 0, sigma = 0, background = 0;
    ASSERT_TRUE(cells >> name >> H >> measuredM >> model >> residual >> sigma >> background) << line;
    EXPECT_NEAR(background, chi * H, 1e-4 * std::fabs(chi) * 1000.0) << line;
    ++points;
  }
  EXPECT_GT(points, 50);
  // The particles alone are the program's: the grid's departure is 0.
  EXPECT_EQ(r.out.find("the grid gives NaN"), std::string::npos) << r.out;
  // A term for a kind of data not given is refused before any work.
  const RunResult wrong = lab(w, "fit --loop loop.txt@250 --background curie --out cmp2.txt");
  EXPECT_EQ(wrong.status, 2);
  EXPECT_NE(wrong.err.find("--background curie is a term of ZFC/FC curves, and none is given"), std::string::npos)
      << wrong.err;
  EXPECT_FALSE(std::filesystem::exists(w.root() / "cmp2.curves.txt"));
}

// A continuum fit's record carries the m at which the program's grid meets
// the data's error: preisach run on it gives the fitted curves within that
// error, and the report says how long it takes.
TEST(LabCommand, WritesTheGridMThatMeetsTheDataErrorIntoTheFittedFile) {
  Workspace w;
  w.writeParameters("600 1e-15 0.5 300 1.5 100 1 100 1 0 1 G 400 0.01 y 100 300 n 300 2000 50 300 0.1 n");
  ASSERT_EQ(w.run("").status, 0);
  std::filesystem::copy_file(w.dataDir() / "ZFCFCbc.txt", w.root() / "measured.txt");
  w.writeParameters("600 1e-15 0.5 330 1.5 100 1 100 1 0 0.8 G 20 0.01 y 100 300 n 300 2000 50 300 0.1 n");
  const RunResult r = lab(w, "fit --zfcfc measured.txt --free hc0_mean,N --error 1% --out fitted.txt");
  ASSERT_EQ(r.status, 0) << r.err << r.out;
  std::istringstream values(readFile(w.root() / "fitted.txt"));
  std::vector<std::string> v{std::istream_iterator<std::string>(values), std::istream_iterator<std::string>()};
  ASSERT_EQ(v.size(), 24u);
  const int m = std::stoi(v[12]);
  EXPECT_GT(m, 20) << "the grid at the file's m = 20 is coarser than 1 %\n" << r.out;
  EXPECT_NE(r.out.find("the fitted file's m = " + v[12] + " meets the data's error; preisach takes about "),
            std::string::npos)
      << r.out;
  std::filesystem::copy_file(w.root() / "fitted.txt", w.dataDir() / "Parameters.txt",
                             std::filesystem::copy_options::overwrite_existing);
  ASSERT_EQ(w.run("").status, 0);
  // The program's rows against the fitted curves: within the data's 1 %
  // of the largest moment (the grid's departure is set to that).
  std::istringstream program(readFile(w.dataDir() / "ZFCFCbc.txt")),
      fitted(zfcFcRows(readFile(w.root() / "fitted.curves.txt")));
  double largest = 0.0, departure = 0.0;
  for (std::string a, b; std::getline(program, a) && std::getline(fitted, b);) {
    std::istringstream ra(a), rb(b);
    double T1, z1, f1, T2, z2, f2;
    ASSERT_TRUE(ra >> T1 >> z1 >> f1 && rb >> T2 >> z2 >> f2) << a << " / " << b;
    ASSERT_EQ(T1, T2);
    departure = std::max({departure, std::fabs(z1 - z2), std::fabs(f1 - f2)});
    largest = std::max({largest, std::fabs(z2), std::fabs(f2)});
  }
  ASSERT_GT(largest, 0.0);
  EXPECT_LT(departure / largest, 0.012) << r.out;
}

// The noise of curves without an error column, stated for all of them or
// per dataset (by the report's name or the file's): each curve weighed as
// said and the report saying which weights; a name that no dataset has, a
// dataset with its own errors or a bad value refused before any work.
TEST(LabCommand, WeighsEachDatasetByTheNoiseStatedForIt) {
  Workspace w;
  w.writeParameters("600 1e-15 0.5 300 1.5 100 1 100 1 0 1 G 60 0.01 y 100 300 y 300 2000 50 300 0.1 n");
  ASSERT_EQ(w.run("").status, 0);
  std::filesystem::copy_file(w.dataDir() / "ZFCFCbc.txt", w.root() / "zfcfc.txt");
  std::filesystem::copy_file(w.dataDir() / "momentbc.txt", w.root() / "loop.txt");
  const std::string data = "fit --zfcfc zfcfc.txt --loop loop.txt@300 --model grid --free N";
  const RunResult r = lab(w, data + " --error 2% --error loop.txt=3e-17 --error FC=1% --out fit.txt");
  ASSERT_EQ(r.status, 0) << r.err << r.out;
  EXPECT_NE(r.out.find("weights of ZFC = stated relative errors of 2 % of each moment (--error)"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("weights of FC = stated relative errors of 1 % of each moment (--error)"), std::string::npos);
  EXPECT_NE(r.out.find("weights of loop = stated errors of 3e-17 emu (--error)"), std::string::npos);
  // The curves file's sigma column: 3e-17 on every loop row.
  std::istringstream lines(readFile(w.root() / "fit.curves.txt"));
  int loopRows = 0;
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("loop ", 0) == 0) {
      std::istringstream cells(line);
      std::string name;
      double x, measured, model, residual, sigma;
      ASSERT_TRUE(cells >> name >> x >> measured >> model >> residual >> sigma);
      EXPECT_DOUBLE_EQ(sigma, 3e-17);
      ++loopRows;
    }
  EXPECT_GT(loopRows, 10);
  const struct {
    const char* options;
    const char* message;
  } refused[] = {
      {"--error ZFC-2=1%",
       "--error ZFC-2=1%: no dataset is named \"ZFC-2\" (the datasets: ZFC, FC, loop, or their files)"},
      {"--error 'FC=1 percent'", "is neither a share of each moment below 100 %"},
      {"--error 1% --error 2%", "--error: two values for all datasets (name one as DATASET=VALUE)"},
      {"--error 1e300", "emu is more than a thousand times the curve's largest moment"},
      {"--error 1e-30", "emu is less than a billionth of the curve's largest moment"},
      {"--error ZFC=1% --error ZFC=2%", "--error: two values for ZFC"},
  };
  for (const auto& c : refused) {
    const RunResult bad = lab(w, data + " " + c.options + " --out bad.txt");
    EXPECT_EQ(bad.status, 2) << c.options;
    EXPECT_NE(bad.err.find(c.message), std::string::npos) << c.options << "\n" << bad.err;
    EXPECT_FALSE(std::filesystem::exists(w.root() / "bad.curves.txt")) << c.options;
  }
  writeFile(w.root() / "witherrors.txt", "5 1e-16 1e-18\n10 2e-16 1e-18\n15 3e-16 1e-18\n20 4e-16 1e-18\n");
  const RunResult own = lab(w, "fit --zfc witherrors.txt --free N --error witherrors.txt=1% --out bad.txt");
  EXPECT_EQ(own.status, 2);
  EXPECT_NE(own.err.find("ZFC (witherrors.txt) has its own error column"), std::string::npos) << own.err;
  const RunResult every = lab(w, "fit --zfc witherrors.txt --free N --error 1% --out bad.txt");
  EXPECT_EQ(every.status, 2);
  EXPECT_NE(every.err.find("--error: every dataset has its own error column"), std::string::npos) << every.err;
}

// A measured FORC file as the instrument writes it in its usual SI setting
// (fields in T, moments in A m^2, "Hybrid SI") with its first reversal curve
// a single point at the saturation side: read as it is, it gives the
// diagram of the same curves in cgs, peak and values.
TEST(LabCommand, ProcessesAHybridSiFileWithAOnePointFirstCurveToTheSameDiagram) {
  Workspace w;
  w.writeParameters(kLoopRecord);
  ASSERT_EQ(lab(w, "forc --step 50").status, 0);
  const std::string cgs = readFile(w.dataDir() / "forc-curves.frc");
  // The same file in Hybrid SI: every "+H,+M" row converted, the units line
  // changed, and a curve of one point (Hr = +Ha_max) before the first.
  std::string si;
  std::istringstream lines(cgs);
  bool first = true;
  int curves = 0;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    double H = 0.0, M = 0.0;
    char comma = 0;
    std::istringstream cells(line);
    const bool data = (line[0] == '+' || line[0] == '-') && (cells >> H >> comma >> M) && comma == ',';
    char row[80];
    if (data) {
      std::snprintf(row, sizeof row, "%+.6E,%+.6E\r\n", H * 1e-4, M * 1e-3);
      if (first) {  // the calibration point of the first curve, then the one-point curve and its own calibration
        si += row;
        si += "\r\n";
        std::snprintf(row, sizeof row, "%+.6E,%+.6E\r\n\r\n", H * 1e-4, M * 1e-3);
        si += row;
        first = false;
      }
      si += row;
      continue;
    }
    if (line.rfind("Units of measure", 0) == 0) line = "Units of measure: Hybrid SI";
    if (line[0] == 'H' && line.find('=') != std::string::npos) {  // the header's fields, Hb1 ... HSat
      std::snprintf(row, sizeof row, "%+.6E", std::stod(line.substr(line.find('=') + 1)) * 1e-4);
      line = line.substr(0, line.find('=') + 2) + row;
    }
    if (line.rfind("NCrv", 0) == 0) {
      curves = std::stoi(line.substr(line.find('=') + 1));
      line = "NCrv           = " + std::to_string(curves + 1);
    }
    if (line.rfind("NData", 0) == 0)
      line = "NData          = " + std::to_string(std::stoi(line.substr(line.find('=') + 1)) + 1);
    si += line + "\r\n";
  }
  ASSERT_GT(curves, 10);
  writeFile(w.root() / "hybrid.frc", si);
  std::filesystem::create_directory(w.root() / "cgs");
  std::filesystem::create_directory(w.root() / "si");
  ASSERT_EQ(lab(w, "forc --measured Magnetism/forc-curves.frc --out-dir cgs").status, 0);
  const RunResult r = lab(w, "forc --measured hybrid.frc --out-dir si");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::array<double, 3>> a = diagramRows(readFile(w.root() / "cgs" / "forc-diagram.txt"));
  const std::vector<std::array<double, 3>> b = diagramRows(readFile(w.root() / "si" / "forc-diagram.txt"));
  ASSERT_FALSE(a.empty());
  const auto peak = [](const std::vector<std::array<double, 3>>& rows) {
    return *std::max_element(rows.begin(), rows.end(), [](const auto& x, const auto& y) { return x[2] < y[2]; });
  };
  const std::array<double, 3> pa = peak(a), pb = peak(b);
  EXPECT_NEAR(pb[0], pa[0], 1e-6 * std::fabs(pa[0]) + 1e-9);  // Hc of the peak, Oe
  EXPECT_NEAR(pb[1], pa[1], 1e-6 * std::fabs(pa[1]) + 1e-9);  // Hu
  EXPECT_NEAR(pb[2], pa[2], 1e-5 * pa[2]);                    // rho, emu/Oe^2 after conversion
}

}  // namespace
}  // namespace preisach::test
