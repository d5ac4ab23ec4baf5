// End-to-end: the real program in a temporary working directory, with a real
// Magnetism/Parameters.txt and scripted standard input.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "driver/hysteresis_loop.h"
#include "test_support.h"

namespace preisach::test {
namespace {

// A record with every computation off, and its echo.
constexpr char kRecord[] = "600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 20 0.01 n 100 590 n 300 3000 50 300 0.1 n";
constexpr char kEcho[] =
    "Tc=600\nmu0=1e-15\nGamma=0.5\nhc0_mean=300\nGamma_c=1.5\nsigmac0=30\nGamma_cprim=1\nsigmai0=30\n"
    "Gamma_i=1\nkm=0\nN=1\nPDF=G\nm=20\nMC_err=0.01\nCalculate ZFCFC: n\nha=100\nT_max=590\n"
    "Calculate Hysteresis: n\nT_hyst=300\nHa_max=3000\ns=50\nlambda=300\nf=0.1\nCalculate PDFn\n";
constexpr char kPrompt[] = "If you want to continue press \"y\"\n";

std::string repeat(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

TEST(Run, EchoesThePromptsAndEndsAtTheEndOfInput) {
  Workspace w;
  w.writeParameters(kRecord);
  const RunResult r = w.run("");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, std::string(kEcho) + kPrompt);
  EXPECT_EQ(r.err, "");
}

TEST(Run, RepeatsAPassForEachLowerCaseY) {
  Workspace w;
  w.writeParameters(std::string(kRecord) + "\n");
  const std::string pass = std::string(kEcho) + kEcho + kPrompt;
  EXPECT_EQ(w.run("y\ny\nn\n").out, repeat(pass, 3));
  // Blanks and empty lines before an answer are skipped.
  EXPECT_EQ(w.run("\n\n   y\n\t\nY\n").out, repeat(pass, 2));
  EXPECT_EQ(w.run("n\ny\n").out, pass);
}

TEST(Run, TakesTheWordYesAsOneMorePassAndThenEnds) {
  Workspace w;
  w.writeParameters(kRecord);
  const RunResult r = w.run("yes\ny\ny\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, repeat(std::string(kEcho) + kPrompt, 2));
}

TEST(Run, AnswersCommandLineArgumentsWithAUsageInsteadOfRunning) {
  Workspace w;
  w.writeParameters(kRecord);
  const RunResult r = w.run("n\n", 60, "--help -x Magnetism/other.txt");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("usage: preisach", 0), 0u) << r.out;
  EXPECT_EQ(r.out.find(kEcho), std::string::npos) << "no pass is run";
}

TEST(Run, SaysWhyTheParameterFileCannotBeOpenedAndStillPrompts) {
  Workspace w;
  const RunResult r = w.run("y\nn\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, repeat(kPrompt, 2));
  EXPECT_EQ(r.err, repeat("cannot open Magnetism/Parameters.txt: No such file or directory\n", 2));
}

TEST(Run, RefusesAPipeOrAHugeFileInPlaceOfTheParameterFile) {
  Workspace w;
  ASSERT_EQ(mkfifo((w.dataDir() / "Parameters.txt").c_str(), 0644), 0);
  const RunResult pipe = w.run("", 20);  // no writer: reading it would block for ever
  EXPECT_EQ(pipe.status, 1);
  EXPECT_EQ(pipe.err, "cannot read Magnetism/Parameters.txt: not a regular file\n");
  std::filesystem::remove(w.dataDir() / "Parameters.txt");
  writeFile(w.dataDir() / "Parameters.txt", "600");
  std::filesystem::resize_file(w.dataDir() / "Parameters.txt", 65u << 20);  // 600 and 65 MB of zero bytes
  const RunResult huge = w.run("", 20);
  EXPECT_EQ(huge.status, 1);
  EXPECT_EQ(huge.err,
            "Magnetism/Parameters.txt holds more than 64 MB, which no parameter file does; nothing is computed in "
            "this pass\n");
}

// A pass that computes nothing: the prompt alone on the console and one
// message on the error stream.
void expectOnlyTheMessage(const RunResult& r, const std::string& message) {
  EXPECT_EQ(r.out, kPrompt);
  EXPECT_EQ(r.err, message);
}

TEST(Run, SaysSoWhenTheParameterFileIsADirectory) {
  Workspace w;
  std::filesystem::create_directory(w.dataDir() / "Parameters.txt");
  expectOnlyTheMessage(w.run(""), "cannot read Magnetism/Parameters.txt: Is a directory\n");
}

TEST(Run, SaysSoWhenTheParameterFileHoldsNoValue) {
  Workspace w;
  w.writeParameters(" \n\n\t\n");
  expectOnlyTheMessage(w.run(""),
                       "Magnetism/Parameters.txt holds no parameter value; nothing is computed in this pass\n");
}

TEST(Run, NamesTheFieldThatCouldNotBeRead) {
  Workspace w;
  w.writeParameters("600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 20 0.01 n 100 abc n 300 3000 50 300 0.1 n\n");
  const RunResult r = w.run("");
  EXPECT_EQ(r.out.substr(r.out.find("ha=100\n")),
            "ha=100\nT_max=0\nCalculate Hysteresis:  \n"
            "T_hyst=0\nHa_max=0\ns=0\nlambda=0\nf=0\nCalculate PDF \n" +
                std::string(kPrompt));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "Magnetism/Parameters.txt: line 1, column 53: value 17 (T_max) cannot be read from \"abc\", not a "
            "number; the text \"100\" at line 1, column 49 gave ha = 100; the line reads \"600 1e-15 0.5 300 1.5 30 1 "
            "30 1 0 1 G 20 0.01 n 100 abc n 300 3000 50 300 0.1 n\"; nothing is computed in this pass\n");
}

TEST(Run, RejectsADensityLetterThatIsNoShape) {
  Workspace w;
  w.writeParameters("600 1e-15 0.5 300 1.5 30 1 30 1 0 1 g 20 0.01 n 100 590 n 300 3000 50 300 0.1 n");
  const RunResult r = w.run("");
  EXPECT_NE(r.out.find("PDF=g\n"), std::string::npos);
  EXPECT_EQ(r.err,
            "Magnetism/Parameters.txt: the density shape PDF must be one of the upper-case letters G, L, M, N, but "
            "'g' was read; nothing is computed in this pass\n");
}

TEST(Run, ReadsTheParameterFileAfreshInEveryPass) {
  Workspace w;
  w.writeParameters(kRecord);
  std::string edited = kRecord;
  edited.replace(0, 3, "700");
  writeFile(w.root() / "edited.txt", edited);
  // The answer is sent only once the first prompt is out, after the edit.
  const RunResult r =
      w.runCommand("cd '" + w.root().string() +
                   "' && { until grep -q 'continue press' stdout.txt 2>/dev/null; do sleep 0.05; done;"
                   " cp edited.txt Magnetism/Parameters.txt; echo y; } | timeout -s KILL 60 '" PREISACH_EXECUTABLE
                   "' > stdout.txt 2> stderr.txt");
  EXPECT_EQ(r.status, 0);
  std::string second = kEcho;
  second.replace(3, 3, "700");
  EXPECT_EQ(r.out, std::string(kEcho) + kPrompt + second + kPrompt);
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The coarse loop of the worked example: Ha_max = 1, m = 10, unrefined, at
// 47 K with mu0 = 3.45e-15; `flags` are Calculate_Hysteresis and Calculate_PDF.
std::string loopRecord(const std::string& Ha_max = "1",
                       const std::string& m = "10",
                       char hysteresis = 'y',
                       char pdf = 'y') {
  return "600 3.45e-15 0.5 0.5 1 10 1 10 1 0 1 G " + m + " 0.01 n 100 300 " + hysteresis + " 47 " + Ha_max +
         " 0.5 2 0.25 " + pdf;
}

TEST(Run, RunsTheHysteresisLoopWithItsDensityMap) {
  Workspace w;
  w.writeParameters(loopRecord());
  const RunResult r = w.run("");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(countLines(readFile(w.dataDir() / "PDFbc.txt")), 64u);
  const std::vector<std::string> rows = linesOf(readFile(w.dataDir() / "momentbc.txt"));
  ASSERT_EQ(rows.size(), 80u);

  const std::vector<std::string> out = linesOf(r.out);
  ASSERT_EQ(out.size(), 24u + 4u + 80u * 6u + 1u);
  EXPECT_EQ(out[24], "hts_T0=5");
  EXPECT_EQ(out[25], "dhc=0.1 mc=10 dhi=0.2 mi=10 ha_max=1 ha=100");
  EXPECT_EQ(out[26], "k1=0 k2=0 k10=64");
  EXPECT_EQ(out[27].substr(0, 12), " Norm_coeff=");
  std::vector<float> fields = driver::fieldSchedule(1.0f, hysteresis::Branch::Descending);
  const std::vector<float> up = driver::fieldSchedule(1.0f, hysteresis::Branch::Ascending);
  fields.insert(fields.end(), up.begin(), up.end());
  ASSERT_EQ(fields.size(), 80u);
  for (std::size_t k = 0; k < 80; ++k) {
    const std::size_t at = 28 + 6 * k;
    const bool descending = k < 40;
    const float field = fields[k];
    double M = 0.0;
    char fieldColumn[32];
    std::snprintf(fieldColumn, sizeof fieldColumn, "%f ", static_cast<double>(field));
    EXPECT_EQ(rows[k].substr(0, std::string(fieldColumn).size()), fieldColumn);
    ASSERT_EQ(std::sscanf(rows[k].c_str(), "%*f %lf", &M), 1) << rows[k];
    EXPECT_EQ(out[at], "hts_T0=5");
    EXPECT_EQ(out[at + 1], "floor=10");
    std::ostringstream fieldText;
    fieldText << field;
    EXPECT_EQ(out[at + 2], "dhc=0.1 mc=10 dhi=0.2 mi=10 ha_max=1 ha=" + fieldText.str());
    EXPECT_EQ(out[at + 3].substr(0, 6), "k1=39 ");
    EXPECT_EQ(out[at + 4], out[27]);
    // The driver's line: the field, then M+= or " M-=", then M as a float.
    std::ostringstream expected;
    expected << "ha=" << fieldText.str() << (descending ? "M+=" : " M-=");
    EXPECT_EQ(out[at + 5].substr(0, expected.str().size()), expected.str()) << k;
    const double printedM = std::stod(out[at + 5].substr(expected.str().size()));
    constexpr double kSixDigits = 1e-5;  // the console line shows M to six significant digits
    EXPECT_NEAR(printedM / M, 1.0, kSixDigits) << out[at + 5] << " vs " << rows[k];
  }
  EXPECT_EQ(rows.front().substr(0, 9), "1.000000 ");
  EXPECT_EQ(rows[40].substr(0, 10), "-1.000000 ");
  EXPECT_EQ(out.back(), "If you want to continue press \"y\"");
}

TEST(Run, WritesTheDensityMapOnlyWhenBothFlagsAreOn) {
  Workspace w;
  w.writeParameters(loopRecord("1", "10", 'n', 'y'));
  w.run("");
  EXPECT_FALSE(std::filesystem::exists(w.dataDir() / "PDFbc.txt"));
  EXPECT_FALSE(std::filesystem::exists(w.dataDir() / "momentbc.txt"));
  writeFile(w.dataDir() / "PDFbc.txt", "an earlier map\n");
  w.writeParameters(loopRecord("1", "10", 'y', 'n'));
  const RunResult r = w.run("");
  EXPECT_EQ(readFile(w.dataDir() / "PDFbc.txt"), "an earlier map\n");
  EXPECT_EQ(countLines(readFile(w.dataDir() / "momentbc.txt")), 80u);
  EXPECT_NE(r.out.find("k1=0 k2=0 k10=64\n"), std::string::npos);
}

TEST(Run, EndsALoopWithoutAFieldRange) {
  for (const char* Ha_max : {"0", "1e-12", "-5"}) {
    Workspace w;
    w.writeParameters(loopRecord(Ha_max));
    const RunResult r = w.run("", 20);
    EXPECT_EQ(r.status, 1) << Ha_max;
    EXPECT_EQ(readFile(w.dataDir() / "momentbc.txt"), "") << Ha_max;
    EXPECT_TRUE(std::filesystem::exists(w.dataDir() / "momentbc.txt")) << Ha_max;
    EXPECT_EQ(r.out.find("M+="), std::string::npos) << Ha_max;
    EXPECT_EQ(r.out.find(" M-="), std::string::npos) << Ha_max;
    EXPECT_NE(r.err.find("the hysteresis loop has no field range"), std::string::npos) << Ha_max << r.err;
  }
}

TEST(Run, RunsNoHysteresisPointOnADegenerateGrid) {
  Workspace w;
  w.writeParameters(loopRecord("1", "2"));
  const RunResult r = w.run("");
  EXPECT_EQ(readFile(w.dataDir() / "momentbc.txt"), "");
  EXPECT_NE(r.out.find("k1=0 k2=0 k10=0\n"), std::string::npos);
  EXPECT_EQ(r.out.find("M+="), std::string::npos);
  EXPECT_NE(r.err.find("cannot be normalised"), std::string::npos) << r.err;
}

TEST(Run, SkipsAComputationWhoseResultFileCannotBeCreated) {
  Workspace w;
  w.writeParameters(loopRecord());
  std::filesystem::create_directory(w.dataDir() / "momentbc.txt");
  const RunResult r = w.run("");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "cannot create Magnetism/momentbc.txt: Is a directory; the hysteresis loop is skipped\n");
  EXPECT_EQ(r.out.find("M+="), std::string::npos);
}

// A ZFC/FC sweep on a small unrefined grid; Tc = T_max = 600 in the file.
std::string sweepRecord(const std::string& Tc = "600",
                        const std::string& m = "10",
                        char zfcfc = 'y',
                        const std::string& T_max = "600") {
  return Tc + " 1e-15 0.5 300 1.5 1000 1 1000 1 0 1 G " + m + " 0.01 " + zfcfc + " 100 " + T_max +
         " n 300 3000 50 300 0.1 n";
}

TEST(Run, RunsTheTemperatureSweepUpToTcMinusTen) {
  Workspace w;
  w.writeParameters(sweepRecord());
  const RunResult r = w.run("");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  const std::vector<std::string> zfc = linesOf(readFile(w.dataDir() / "ZFCFCbc.txt"));
  const std::vector<std::string> separate = linesOf(readFile(w.dataDir() / "separatebc.txt"));
  ASSERT_EQ(zfc.size(), 19u + 49u);
  ASSERT_EQ(separate.size(), zfc.size());
  EXPECT_EQ(zfc.front().substr(0, 9), "5.000000 ");
  EXPECT_EQ(zfc.back().substr(0, 11), "590.000000 ");
  EXPECT_EQ(separate.back().substr(0, 11), "590.000000 ");

  const std::vector<std::string> out = linesOf(r.out);
  ASSERT_EQ(out.size(), 25u + 68u * 7u + 1u);  // the echo holds the T_max message
  EXPECT_EQ(out[17], "T_max < Tc therefore T_max assigned as Tc-10=590");
  EXPECT_EQ(out[25], "hts_T=17.25");
  for (std::size_t k = 0; k < 68; ++k) {
    const std::size_t at = 25 + 7 * k;
    EXPECT_EQ(out[at].substr(0, 6), "hts_T=") << at;
    EXPECT_EQ(out[at + 1], "hts_T0=17.25");
    EXPECT_EQ(out[at + 2].substr(0, 6), "floor=");
    EXPECT_EQ(out[at + 3].substr(0, 4), "dhc=");
    EXPECT_EQ(out[at + 4].substr(0, 3), "k1=");
    EXPECT_EQ(out[at + 5].substr(0, 12), " Norm_coeff=");
    EXPECT_EQ(out[at + 6].substr(0, 3), "T= ");
    EXPECT_EQ(out[at + 6].substr(3, zfc[k].find('.') + 3), zfc[k].substr(0, zfc[k].find('.') + 3));
  }
}

TEST(Run, LeavesTheCurvesAloneWhenTheFlagIsOff) {
  for (char flag : {'n', 'Y'}) {
    Workspace w;
    writeFile(w.dataDir() / "ZFCFCbc.txt", "earlier curves\n");
    w.writeParameters(sweepRecord("600", "10", flag));
    const RunResult r = w.run("");
    EXPECT_EQ(readFile(w.dataDir() / "ZFCFCbc.txt"), "earlier curves\n");
    EXPECT_FALSE(std::filesystem::exists(w.dataDir() / "separatebc.txt"));
    EXPECT_EQ(r.out.find("hts_T="), std::string::npos);
  }
}

TEST(Run, SkipsTheSweepOnAGridWithoutANormalisationNode) {
  // m = 2 with widths that keep both axes unrefined, and a T_max of 0 K.
  const std::string unrefined = "600 1e-15 0.5 300 1.5 1e5 1 1e5 1 0 1 G 2 0.01 y 100 300 n 300 3000 50 300 0.1 n";
  for (const std::string& record : {unrefined, sweepRecord("600", "10", 'y', "0")}) {
    Workspace w;
    writeFile(w.dataDir() / "ZFCFCbc.txt", "earlier curves\n");
    w.writeParameters(record);
    const RunResult r = w.run("");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(readFile(w.dataDir() / "ZFCFCbc.txt"), "earlier curves\n");
    EXPECT_FALSE(std::filesystem::exists(w.dataDir() / "separatebc.txt"));
    EXPECT_EQ(r.out.find("hts_T="), std::string::npos);
    EXPECT_NE(r.err.find("has no node inside its normalisation rectangle"), std::string::npos) << r.err;
  }
  Workspace zero;
  zero.writeParameters("600 0 0.5 300 1.5 1000 1 1000 1 0 1 G 10 0.01 y 100 300 n 300 3000 50 300 0.1 n");
  EXPECT_NE(zero.run("").err.find("mu0 is 0"), std::string::npos);
}

TEST(Run, KeepsTheArithmeticAtTemperaturesAboveALowTc) {
  Workspace w;
  w.writeParameters(sweepRecord("50", "10", 'y', "40"));
  const RunResult r = w.run("", 60);
  // The rows are written as computed, and the exit status says they hold nan.
  EXPECT_EQ(r.status, 1);
  const std::string curves = readFile(w.dataDir() / "ZFCFCbc.txt");
  EXPECT_EQ(countLines(curves), 19u);
  EXPECT_NE(curves.find("nan"), std::string::npos);
  EXPECT_EQ(curves.substr(0, 9), "5.000000 ");
  EXPECT_NE(r.err.find("warning: the ZFC/FC curves are not finite at "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("reaches Tc=50 K"), std::string::npos) << r.err;
}

// Records whose grid sums come out as nan: the program writes its rows and
// prints its lines as ever, and says on standard error what is not finite
// and why, with exit status 1.
TEST(Run, WarnsAndExitsOneWhenAComputationIsNotFinite) {
  struct Case {
    const char* record;
    const char* file;
    std::size_t rows;
    const char* firstRow;
    const char* warning;
    const char* cause;
  };
  const std::vector<Case> cases = {
      // The loop's grid spans +-1e5 Oe in steps of 1667 Oe: the density of
      // widths 30 Oe is 0 at every node, so Norm_coeff = N / 0.
      {"600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 20 0.01 n 100 300 y 300 1e5 50 300 0.1 n", "momentbc.txt", 82,
       "100000.000000 -nan -nan 7.071068e-17\n", "warning: the hysteresis loop is not finite at 82 of 82 fields",
       "Norm_coeff is infinite because the density at T_hyst=300 K (hc0_mean=300, sigmac0=30, sigmai0=30 Oe at 0 K) is "
       "0 at every node of the loop's grid: Ha_max=100000 Oe is too wide for it"},
      // mu0 = 3e-18 emu: the thermal field at T_max = 300 K is 3.45e5 Oe and
      // the ZFC/FC grid as wide.
      {"600 3e-18 0.5 300 1.5 30 1 30 1 0 1 G 20 0.01 y 100 300 n 300 3000 50 300 0.1 n", "ZFCFCbc.txt", 39,
       "5.000000 -nan -nan\n", "warning: the ZFC/FC curves are not finite at 39 of 39 temperatures",
       "Norm_coeff is infinite because mu0 is tiny: mu0=3e-18 emu makes the thermal field hts(T_max) 345000 Oe"},
  };
  for (const Case& c : cases) {
    Workspace w;
    w.writeParameters(c.record);
    const RunResult r = w.run("");
    EXPECT_EQ(r.status, 1) << c.record;
    EXPECT_EQ(countLines(r.err), 1u) << r.err;
    EXPECT_EQ(r.err.rfind(c.warning, 0), 0u) << r.err;
    EXPECT_NE(r.err.find(std::string("(nan or inf in Magnetism/") + c.file + "): " + c.cause), std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find(" Norm_coeff=inf mu="), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - std::string(kPrompt).size()), kPrompt);
    const std::string rows = readFile(w.dataDir() / c.file);
    EXPECT_EQ(countLines(rows), c.rows) << c.file;
    EXPECT_EQ(rows.substr(0, rows.find('\n') + 1), c.firstRow) << c.file;
  }
  // The shape of the first record at a field range its density fills: no warning, exit 0.
  Workspace w;
  w.writeParameters("600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 20 0.01 n 100 300 y 300 3000 50 300 0.1 n");
  const RunResult r = w.run("");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(readFile(w.dataDir() / "momentbc.txt").find("nan"), std::string::npos);
}

// A negative width is said on standard error; the record is computed as it
// stands, with the same output as before and the same status.
TEST(Run, WarnsOfANegativeWidth) {
  Workspace w;
  w.writeParameters("600 1e-15 0.5 300 1.5 -5 1 30 1 0 1 G 20 0.01 y 100 300 n 300 3000 50 300 0.1 n");
  const RunResult r = w.run("");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err,
            "warning: sigmac0=-5 Oe is a negative width; a distribution's width is positive, and what this record "
            "computes is not a physical ensemble\n");
  EXPECT_NE(r.out.find("hts_T="), std::string::npos);
}

}  // namespace
}  // namespace preisach::test
