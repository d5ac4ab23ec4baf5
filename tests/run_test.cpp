// End-to-end: the real program in a temporary working directory, with a real
// Magnetism/Parameters.txt and scripted standard input.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

TEST(Run, IgnoresCommandLineArguments) {
  Workspace w;
  w.writeParameters(kRecord);
  EXPECT_EQ(w.run("n\n", 60, "--help -x Magnetism/other.txt").out, std::string(kEcho) + kPrompt);
}

TEST(Run, SaysWhyTheParameterFileCannotBeOpenedAndStillPrompts) {
  Workspace w;
  const RunResult r = w.run("y\nn\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, repeat(kPrompt, 2));
  EXPECT_EQ(r.err, repeat("cannot open Magnetism/Parameters.txt: No such file or directory\n", 2));
}

TEST(Run, SaysSoWhenTheParameterFileIsADirectory) {
  Workspace w;
  std::filesystem::create_directory(w.dataDir() / "Parameters.txt");
  const RunResult r = w.run("");
  EXPECT_EQ(r.out, kPrompt);
  EXPECT_EQ(r.err, "cannot read Magnetism/Parameters.txt: Is a directory\n");
}

TEST(Run, SaysSoWhenTheParameterFileHoldsNoValue) {
  Workspace w;
  w.writeParameters(" \n\n\t\n");
  const RunResult r = w.run("");
  EXPECT_EQ(r.out, kPrompt);
  EXPECT_EQ(r.err, "Magnetism/Parameters.txt holds no parameter value; nothing is computed in this pass\n");
}

TEST(Run, NamesTheFieldThatCouldNotBeRead) {
  Workspace w;
  w.writeParameters("600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 20 0.01 n 100 abc n 300 3000 50 300 0.1 n\n");
  const RunResult r = w.run("");
  EXPECT_EQ(r.out.substr(r.out.find("ha=100\n")),
            "ha=100\nT_max=0\nCalculate Hysteresis:  \n"
            "T_hyst=0\nHa_max=0\ns=0\nlambda=0\nf=0\nCalculate PDF \n" +
                std::string(kPrompt));
  EXPECT_EQ(r.err,
            "Magnetism/Parameters.txt: record 1, value 17 (T_max) cannot be read: \"abc\" is not a number; "
            "nothing is computed in this pass\n");
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
  const RunResult r = w.runCommand(
      "cd '" + w.root().string() + "' && { until grep -q 'continue press' stdout.txt 2>/dev/null; do sleep 0.05; done;"
      " cp edited.txt Magnetism/Parameters.txt; echo y; } | timeout -s KILL 60 '" PREISACH_EXECUTABLE
      "' > stdout.txt 2> stderr.txt");
  EXPECT_EQ(r.status, 0);
  std::string second = kEcho;
  second.replace(3, 3, "700");
  EXPECT_EQ(r.out, std::string(kEcho) + kPrompt + second + kPrompt);
}

}  // namespace
}  // namespace preisach::test
