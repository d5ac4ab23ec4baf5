// End-to-end: the program against the node-by-node reference program on the
// same parameter files; standard output, standard error and all four result
// files must be identical byte for byte.

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace preisach::test {
namespace {

struct Outputs {
  RunResult run;
  std::string zfc, separate, map, moment;
};

Outputs runIn(const std::string& parameters, const std::string& executable) {
  Workspace w;
  w.writeParameters(parameters);
  Outputs o;
  o.run = w.run("", 120, "", executable);
  o.zfc = readFile(w.dataDir() / "ZFCFCbc.txt");
  o.separate = readFile(w.dataDir() / "separatebc.txt");
  o.map = readFile(w.dataDir() / "PDFbc.txt");
  o.moment = readFile(w.dataDir() / "momentbc.txt");
  return o;
}

class SamePass : public ::testing::TestWithParam<const char*> {};

TEST_P(SamePass, AsTheReferenceEvaluation) {
  const Outputs fast = runIn(GetParam(), PREISACH_EXECUTABLE);
  const Outputs slow = runIn(GetParam(), PREISACH_REFERENCE_EXECUTABLE);
  // A record of nan rows (Tc below 95 K) exits with 1 on either evaluation.
  EXPECT_EQ(fast.run.status, slow.run.status);
  EXPECT_LE(fast.run.status, 1);
  EXPECT_EQ(fast.run.out, slow.run.out);
  EXPECT_EQ(fast.run.err, slow.run.err);
  EXPECT_EQ(fast.zfc, slow.zfc);
  EXPECT_EQ(fast.separate, slow.separate);
  EXPECT_EQ(fast.map, slow.map);
  EXPECT_EQ(fast.moment, slow.moment);
  EXPECT_FALSE(fast.run.out.empty());
}

// Tc mu0 Gamma hc0_mean Gamma_c sigmac0 Gamma_cprim sigmai0 Gamma_i km N PDF m MC_err
// Calculate_ZFCFC ha T_max Calculate_Hysteresis T_hyst Ha_max s lambda f Calculate_PDF
INSTANTIATE_TEST_SUITE_P(ParameterFiles,
                         SamePass,
                         ::testing::Values(
                             // The example of the repository on a coarser grid, every shape.
                             "600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 30 0.01 y 100 300 y 300 3000 50 300 0.1 y",
                             "600 1e-15 0.5 300 1.5 30 1 30 1 0 1 L 30 0.01 y 100 300 y 300 3000 50 300 0.1 y",
                             "600 1e-15 0.5 300 1.5 30 1 30 1 0 1 M 30 0.01 y 100 300 y 300 3000 50 300 0.1 y",
                             "600 1e-15 0.5 300 1.5 30 1 30 1 0 1 N 30 0.01 y 100 300 y 300 3000 50 300 0.1 y",
                             // Unrefined grids whose nodes lie on region boundaries.
                             "300 3.45e-15 0.5 30 1 100 1 100 1 0 1 G 10 0.01 y 5 100 y 47 1 0.5 2 0.25 y",
                             "300 3.45e-15 0.5 30 1 1e4 1 1e4 1 5 0.5 N 12 0.01 y 0 150 y 0 1000 0 2 1 y",
                             // A Tc below 95 K: the low range runs past it; and T_max = Tc lowered.
                             "60 1e-15 1.5 100 1 20 1 20 1 -10 2 L 15 0.01 y 50 60 y 60 500 10 100 0.5 n",
                             // Off-grid field steps, and a tiny loop.
                             "600 2e-15 0.5 50 1.5 5 1 5 1 0 1 M 20 0.01 n 100 300 y 200 0.3 0.1 1 0.3 y",
                             "600 2e-15 0.5 0.5 1.5 0.2 1 0.5 1 0 1 G 10 0.01 n 100 300 y 200 1 0.1 1 0.3 y",
                             // Refined on one axis only; negative field.
                             "500 1e-15 0.5 200 1.5 1e4 1 10 1 20 1 N 25 0.01 y -30 200 y 100 2000 50 300 0.1 y",
                             // Two records, the second in force, with a final line end.
                             "600 1e-15 0.5 300 1.5 30 1 30 1 0 1 G 5 0.01 y 100 300 n 300 3000 50 300 0.1 y\n"
                             "400 1e-15 0.5 100 1.5 30 1 30 1 0 1 L 16 0.01 y 100 390 y 200 1500 50 300 0.1 y\n"));

}  // namespace
}  // namespace preisach::test
