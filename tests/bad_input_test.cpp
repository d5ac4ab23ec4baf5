// End-to-end: parameter files a user can write by hand, good and bad. Every
// run ends (exit status 0 at the end of input) within its time limit,
// standard output holds the echo, standard error a clear line where a rule
// was broken, and the result files of an earlier complete run stay intact
// unless the run computed new ones.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace preisach::test {
namespace {

const std::vector<std::string> kValues = {"600", "1e-15", "0.5", "300",  "1.5", "30",   "1",   "30",
                                          "1",   "0",     "1",   "G",    "10",  "0.01", "y",   "100",
                                          "300", "y",     "300", "3000", "50",  "300",  "0.1", "y"};
const char* const kNames[] = {"Tc",          "mu0",     "Gamma",
                              "hc0_mean",    "Gamma_c", "sigmac0",
                              "Gamma_cprim", "sigmai0", "Gamma_i",
                              "km",          "N",       "PDF",
                              "m",           "MC_err",  "Calculate_ZFCFC",
                              "ha",          "T_max",   "Calculate_Hysteresis",
                              "T_hyst",      "Ha_max",  "s",
                              "lambda",      "f",       "Calculate_PDF"};
const char* const kResultFiles[] = {"ZFCFCbc.txt", "separatebc.txt", "PDFbc.txt", "momentbc.txt"};

// The good record with the value at `position` (from 1) replaced.
std::string recordWith(int position, const std::string& value) {
  std::string record;
  for (std::size_t k = 0; k < kValues.size(); ++k)
    record += (k ? " " : "") + (static_cast<int>(k) + 1 == position ? value : kValues[k]);
  return record;
}

struct BadInput {
  const char* what;
  std::string file;
  std::vector<std::string> outLines;  // lines the echo must hold
  std::string err;                    // a clear line, or "" where no rule is broken
  bool computes = false;              // may replace the earlier results
  bool warnsOnly = false;             // the err line is a warning: the pass does all it was asked
  // Lines after the first saying which computations came out nan (exit 1).
  std::size_t nonFiniteWarnings = 0;
};

void expectHandled(const BadInput& c) {
  Workspace w;
  w.writeParameters(recordWith(0, ""));
  ASSERT_EQ(w.run("").status, 0);
  std::vector<std::string> before;
  for (const char* name : kResultFiles) before.push_back(readFile(w.dataDir() / name));

  w.writeParameters(c.file);
  const RunResult r = w.run("", 20);
  EXPECT_EQ(r.status, (c.err.empty() || c.warnsOnly) && c.nonFiniteWarnings == 0 ? 0 : 1) << c.what;
  for (const std::string& line : c.outLines)
    EXPECT_NE(("\n" + r.out).find("\n" + line + "\n"), std::string::npos) << c.what << ": no line " << line;
  const std::string prompt = "If you want to continue press \"y\"\n";
  EXPECT_TRUE(r.out.size() >= prompt.size() && r.out.compare(r.out.size() - prompt.size(), prompt.size(), prompt) == 0)
      << c.what;
  if (c.err.empty()) {
    EXPECT_EQ(r.err, "") << c.what;
  } else {
    EXPECT_NE(r.err.find(c.err), std::string::npos) << c.what << ": " << r.err;
  }
  EXPECT_EQ(countLines(r.err), (c.err.empty() ? 0u : 1u) + c.nonFiniteWarnings) << c.what << ": " << r.err;
  EXPECT_EQ(r.err.find("warning: ") == std::string::npos, c.nonFiniteWarnings == 0) << c.what << ": " << r.err;
  if (!c.computes) {
    for (std::size_t k = 0; k < before.size(); ++k)
      EXPECT_EQ(readFile(w.dataDir() / kResultFiles[k]), before[k]) << c.what << ": " << kResultFiles[k];
  }
}

TEST(BadInput, EndsWithAClearLineAndKeepsEarlierResults) {
  std::string garbage;
  for (int k = 0; k < 4096; ++k) garbage += static_cast<char>((k * 7919 + 13) % 256);
  garbage[0] = '\x01';
  std::string longLine = recordWith(0, "") + " " + std::string(1 << 20, 'z') + "\n";
  const std::vector<BadInput> cases = {
      {"an empty file", "", {}, "holds no parameter value"},
      {"binary garbage", garbage, {"Tc=0", "Calculate PDF "}, "value 1 (Tc) cannot be read"},
      {"a single value", "600", {"Tc=600", "mu0=0"}, "value 2 (mu0) cannot be read: the file ends inside the record"},
      {"23 values",
       recordWith(0, "").substr(0, recordWith(0, "").size() - 2),
       {"f=0.1", "Calculate PDF "},
       "value 24 (Calculate_PDF) cannot be read: the file ends inside the record"},
      {"a huge exponent", recordWith(1, "1e9999"), {"Tc=0"}, "\"1e9999\", a number out of the range of its field"},
      {"nan spelled out", recordWith(2, "nan"), {"mu0=0"}, "\"nan\", not a number"},
      {"inf spelled out", recordWith(20, "inf"), {"Ha_max=0"}, "\"inf\", not a number"},
      {"a zero m", recordWith(13, "0"), {"m=0"}, "m=0 must lie between 1 and 15447"},
      {"a negative m", recordWith(13, "-5"), {"m=-5"}, "m=-5 must lie between 1 and 15447"},
      {"an m too large to count", recordWith(13, "20000"), {"m=20000"}, "m=20000 must lie between 1 and 15447"},
      {"a zero mu0", recordWith(2, "0"), {"mu0=0"}, "mu0 is 0", true},
      {"a zero lambda", recordWith(22, "0"), {"lambda=0"}, "lambda=0: the reversible term", true, true},
      {"a Tc below 95 K",
       recordWith(1, "60"),
       {"Tc=60", "T_max < Tc therefore T_max assigned as Tc-10=50"},
       "Tc=60 K is not above 95 K",
       true,
       true,
       2},  // the ZFC/FC points at and above 60 K, and the loop at 50 K, where the density has narrowed
      {"CRLF line ends", recordWith(0, "") + "\r\n", {"Calculate PDFy"}, "", true},
      {"no final line end", recordWith(0, ""), {"Calculate PDFy"}, "", true},
      {"a very long line", longLine, {"Calculate PDFy"}, "", true},
      {"an unknown density letter", recordWith(12, "X"), {"PDF=X"}, "must be one of the upper-case letters G, L, M, N"},
      {"a lower-case density letter", recordWith(12, "g"), {"PDF=g"}, "but 'g' was read"},
      {"upper-case flags", recordWith(15, "Y") + "", {"Calculate ZFCFC: Y"}, "", true},
      {"a sweep of millions of temperatures",
       "1e9 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 10 0.01 y 100 3e8 n 300 3000 50 300 0.1 n",
       {"T_max=3e+08"},
       "T_max=3e+08 K asks for more than 100000 temperatures in steps of 10 K; the temperature sweep is skipped"},
      {"a UTF-8 byte-order mark", "\xEF\xBB\xBF" + recordWith(0, ""), {"Tc=600"}, "", true},
      {"an invisible byte before a value",
       recordWith(1,
                  "\xC2\xA0"
                  "600"),
       {"Tc=0"},
       "cannot be read from \"\\xC2\\xA0600\", not a number"},
  };
  for (const BadInput& c : cases) expectHandled(c);
}

TEST(BadInput, NamesEveryNumericFieldThatHoldsALetter) {
  for (int position = 1; position <= 24; ++position) {
    const std::string name = kNames[position - 1];
    if (name == "PDF" || name.rfind("Calculate", 0) == 0) continue;
    expectHandled({name.c_str(),
                   recordWith(position, "q"),
                   {},
                   "value " + std::to_string(position) + " (" + name + ") cannot be read from \"q\", not a number"});
  }
}

TEST(BadInput, TakesADigitInAFlagPlaceAsAFlagThatIsOff) {
  for (int position : {15, 18, 24}) {
    const std::string label = position == 15   ? "Calculate ZFCFC: 1"
                              : position == 18 ? "Calculate Hysteresis: 1"
                                               : "Calculate PDF1";
    expectHandled({label.c_str(), recordWith(position, "1"), {label}, "", true});
  }
}

}  // namespace
}  // namespace preisach::test
