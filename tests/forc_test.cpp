// FORCs of the model and their distribution: the diagram reproduces the
// model's density, the reversible part adds nothing to it, and the PMC
// file the program writes reads back to the same curves and diagram.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>

#include "history/field_history.h"
#include "history/forc_distribution.h"
#include "history/forc_simulation.h"
#include "measured/data_error.h"
#include "measured/pmc_format.h"
#include "model/density.h"
#include "model/scaling.h"
#include "support/parameter_records.h"
#include "test_support.h"

namespace preisach::history {
namespace {

using measured::readPmc;
using parameters::ParameterSet;

// At T_hyst = 300 K: hcm = 300 (1 - 1/2)^1.5 = 106 Oe, widths 30 and 50 Oe,
// the interaction centre km = 20 Oe; no reversible part (f = 0).
constexpr char kRecord[] = "600 1e-15 0.5 300 1.5 60 1 100 1 20 1 G 400 0.01 n 100 300 y 300 1000 50 300 0 n";
constexpr double kStep = 10.0;
constexpr int kSmoothing = 2;

TEST(ForcDistribution, ReproducesTheModelsDensity) {
  const ParameterSet p = support::parametersFrom(kRecord);
  const ForcSet forcs = simulateForcs(parameters::modelParameters(p), p.m, kStep);
  ASSERT_EQ(forcs.curves.size(), 200u);
  const auto blocks = forcDistribution(forcs, kSmoothing);
  // rho = (1 - f) 1/2 Norm_coeff mu p(hc = Hc, hi = -Hu), with f = 0 here: a
  // particle switches up at hc - hi and down at -hc - hi.
  const double Norm_coeff = FieldHistory(parameters::modelParameters(p), p.m).Norm_coeff();
  const double mu = model::scaledParameter(p.T_hyst, p.Tc, p.mu0, p.Gamma);
  const auto expected = [&](const ForcValue& v) {
    return 0.5 * Norm_coeff * mu *
           model::preisachDensity(model::densityAt(p, p.T_hyst), static_cast<float>(v.Hc), static_cast<float>(-v.Hu));
  };
  ForcValue peak;
  double peakExpected = 0.0;
  for (const auto& block : blocks)
    for (const ForcValue& v : block) {
      if (v.rho > peak.rho) peak = v;
      peakExpected = std::max(peakExpected, expected(v));
    }
  const double hcm = model::scaledParameter(p.T_hyst, p.Tc, p.hc0_mean, p.Gamma_c);
  EXPECT_NEAR(peak.Hc, hcm, kStep) << "peak at Hc " << peak.Hc << ", Hu " << peak.Hu;
  EXPECT_NEAR(peak.Hu, -p.km, kStep);
  double squares = 0.0;
  int counted = 0;
  for (const auto& block : blocks)
    for (const ForcValue& v : block) {
      if (expected(v) < 0.05 * peakExpected) continue;
      squares += std::pow((v.rho - expected(v)) / peakExpected, 2);
      ++counted;
    }
  ASSERT_GT(counted, 100);
  EXPECT_LT(std::sqrt(squares / counted), 0.05);
}

TEST(ForcDistribution, GetsNothingFromTheReversiblePart) {
  ParameterSet p = support::parametersFrom(kRecord);
  const auto largest = [](const std::vector<std::vector<ForcValue>>& blocks) {
    double m = 0.0;
    for (const auto& block : blocks)
      for (const ForcValue& v : block) m = std::max(m, std::fabs(v.rho));
    return m;
  };
  const double irreversible =
      largest(forcDistribution(simulateForcs(parameters::modelParameters(p), p.m, 20.0), kSmoothing));
  p.f = 1.0f;  // the moment is the reversible part alone: a function of H, not of Hr
  const double reversible =
      largest(forcDistribution(simulateForcs(parameters::modelParameters(p), p.m, 20.0), kSmoothing));
  // A moment of H alone has no mixed derivative: what is left is rounding.
  constexpr double kRoundingOnly = 1e-9;
  EXPECT_LT(reversible, kRoundingOnly * irreversible) << reversible << " against " << irreversible;
}

TEST(PmcFile, ReadsBackTheCurvesAndTheDiagram) {
  const ParameterSet p = support::parametersFrom(kRecord);
  const ForcSet forcs = simulateForcs(parameters::modelParameters(p), p.m, 25.0);
  std::ostringstream text;
  writePmc(text, forcs, 25.0, kSmoothing, "test");
  test::TempDir dir;
  const std::string path = (dir.path() / "curves.frc").string();
  test::writeFile(path, text.str());
  const ForcSet back = readPmc(path);
  ASSERT_EQ(back.curves.size(), forcs.curves.size());
  constexpr double kSevenDigits = 1e-6;  // the file holds the moments as %+.6E
  for (std::size_t i = 0; i < forcs.curves.size(); ++i) {
    ASSERT_EQ(back.curves[i].H, forcs.curves[i].H) << i;  // the fields are whole oersteds
    for (std::size_t k = 0; k < forcs.curves[i].M.size(); ++k)
      ASSERT_NEAR(back.curves[i].M[k], forcs.curves[i].M[k], kSevenDigits * std::fabs(forcs.curves[i].M[k]));
    EXPECT_EQ(back.curves[i].calibrationField, 1000.0);
  }
  // Written again from what was read, the file is the same: the diagram a
  // user gets from the file is the one the program made from it.
  std::ostringstream again;
  writePmc(again, back, 25.0, kSmoothing, "test");
  EXPECT_EQ(again.str(), text.str());
}

TEST(PmcFile, ConvertsSiUnitsAndRefusesBrokenFiles) {
  test::TempDir dir;
  const std::string path = (dir.path() / "si.frc").string();
  std::string si = "MicroMag 2900/3900 Data File (Series 0016)\nUnits of measure: SI\n\n";
  for (int curve = 0; curve < 3; ++curve) {
    si += "+1.000000E-01,+2.000000E-06\n\n";
    for (int k = 0; k <= 3; ++k) {
      char row[64];
      std::snprintf(row, sizeof row, "%+.6E,+1.000000E-06\n", 0.01 * (k - curve));
      si += row;
    }
    si += "\n";
  }
  test::writeFile(path, si);
  const ForcSet forcs = readPmc(path);
  ASSERT_EQ(forcs.curves.size(), 3u);
  EXPECT_DOUBLE_EQ(forcs.curves[0].calibrationField, 1000.0);  // 0.1 T
  EXPECT_DOUBLE_EQ(forcs.curves[0].calibrationMoment, 2e-3);   // 2e-6 A m^2
  EXPECT_DOUBLE_EQ(forcs.curves[1].H[0], -100.0);
  const auto refusal = [&](const std::string& content) {
    test::writeFile(path, content);
    try {
      readPmc(path);
    } catch (const measured::DataError& e) {
      return std::string(e.what());
    }
    return std::string("(accepted)");
  };
  // The newer export: a row of column names with units, blank-separated
  // numbers with a third (temperature) column, each calibration point
  // right before its curve.
  std::string newer =
      "MicroMag 2900/3900 Data File (Series 0016)\nUnits of measure  :  cgs\n\n"
      "Field (Oe), Moment (emu), Temperature (K)\n";
  for (int curve = 0; curve < 3; ++curve) {
    newer += "  15000  0.002  300\n";
    for (int k = 0; k <= 3; ++k) newer += "  " + std::to_string(100 * (k - curve)) + "  0.001  300\n";
    newer += "\n";
  }
  test::writeFile(path, newer);
  const ForcSet exported = readPmc(path);
  ASSERT_EQ(exported.curves.size(), 3u);
  EXPECT_EQ(exported.curves[2].calibrationField, 15000.0);
  EXPECT_EQ(exported.curves[2].H, (std::vector<double>{-200, -100, 0, 100}));
  EXPECT_EQ(refusal("header\n+1,+2\n\n+0,+1\n+1,+1\n\n"), path + ": holds fewer than three reversal curves");
  EXPECT_EQ(refusal("+1,+2\n\n+0,+1\n-1,+1\n\n"), path + ":4: the field does not rise along the reversal curve");
  EXPECT_EQ(refusal("+1,+2\n\n+0,+1\n+2,+1\n+1.5,+1\n\n"),
            path + ":5: the field does not rise along the reversal curve");
  EXPECT_EQ(refusal("+1,+2\n\n+0,+1\n+5\n"), path + ":4: a data line needs a field and a moment");
}

}  // namespace
}  // namespace preisach::history
