// The fit: its free-parameter list, the parameter record it writes, and
// recovery of known parameters from curves the model made at a finer grid,
// with 1 % noise, from a start 30 % off.

#include "fitting/fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>

#include "measured/measured_data.h"
#include "support/parameter_records.h"
#include "support/synthetic_curves.h"

namespace preisach::fitting {
namespace {

using parameters::ParameterSet;

TEST(FreeParameters, TakeNamesBoundsAndPhysicalDefaults) {
  const ParameterSet p =
      support::parametersFrom("600 1e-15 0.5 300 1.5 60 1 150 1 0 1 G 300 0.01 y 100 300 y 300 1000 50 300 0.1 n");
  const std::vector<FreeParameter> free = parseFreeParameters("hc0_mean=100:500,sigmac0,f,Tc=:900,km=-5:", p, 320.0);
  ASSERT_EQ(free.size(), 5u);
  EXPECT_STREQ(free[0].value->name, "hc0_mean");
  EXPECT_EQ(free[0].lower, 100.0);
  EXPECT_EQ(free[0].upper, 500.0);
  // A width is positive, and its bound far below the start (60) only keeps it so.
  constexpr double kFarBelowTheStart = 1e-3;
  EXPECT_GT(free[1].lower, 0.0);
  EXPECT_LT(free[1].lower, kFarBelowTheStart);
  EXPECT_TRUE(std::isinf(free[1].upper));
  EXPECT_EQ(free[2].lower, 0.0);  // f is a weight
  EXPECT_EQ(free[2].upper, 1.0);
  EXPECT_GT(free[3].lower, 320.0);  // Tc above every temperature of the model
  EXPECT_EQ(free[3].upper, 900.0);
  EXPECT_EQ(free[4].lower, -5.0);
  EXPECT_TRUE(std::isinf(free[4].upper));
}

TEST(FreeParameters, RefuseWhatCannotBeFitted) {
  const ParameterSet p =
      support::parametersFrom("600 1e-15 0.5 300 1.5 60 1 150 1 0 1 G 300 0.01 y 100 300 y 300 1000 50 300 0.1 n");
  const auto refusal = [&p](const std::string& text) {
    try {
      parseFreeParameters(text, p, 300.0);
    } catch (const measured::DataError& e) {
      return std::string(e.what());
    }
    return std::string("(accepted)");
  };
  EXPECT_NE(refusal("m").find("\"m\" is not a parameter that can be fitted"), std::string::npos);
  EXPECT_NE(refusal("T_max").find("is not a parameter that can be fitted"), std::string::npos);
  EXPECT_EQ(refusal("N,N"), "--free: N is named twice");
  EXPECT_EQ(refusal("N=0.5"), "--free: \"N=0.5\" needs its bounds as LO:HI (either may be left out)");
  EXPECT_EQ(refusal("N=a:2"), "--free: the bound \"a\" in \"N=a:2\" is not a number");
  EXPECT_EQ(refusal("N=2:1"), "--free: the range of N is empty");
  EXPECT_EQ(refusal("hc0_mean=400:500"),
            "--free: the starting value hc0_mean = 300 lies outside its bounds [400, 500]");
  EXPECT_EQ(refusal(""), "--free names no parameter");
}

TEST(ParameterRecord, ReadsBackBitForBit) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> mantissa(1.0f, 10.0f);
  std::uniform_int_distribution<int> exponent(-20, 6);
  for (int n = 0; n < 200; ++n) {
    ParameterSet p =
        support::parametersFrom("600 1e-15 0.5 300 1.5 60 1 150 1 0 1 L 300 0.01 y 100 300 n 300 1000 50 300 0.1 y");
    for (const parameters::NamedValue& v : parameters::continuousValues())
      p.*(v.member) = mantissa(random) * std::pow(10.0f, static_cast<float>(exponent(random)));
    p.T_max = p.Tc * 0.5f;  // kept below Tc, as the reader would keep it
    p.T_hyst = p.Tc * 0.25f;
    const std::string record = parameters::formatParameterRecord(p);
    const ParameterSet back = support::parametersFrom(record);
    for (const parameters::NamedValue& v : parameters::continuousValues())
      EXPECT_EQ(back.*(v.member), p.*(v.member)) << v.name << " in " << record;
    EXPECT_EQ(parameters::formatParameterRecord(back), record);
  }
}

// ---- recovery --------------------------------------------------------------

// Fits hc0_mean, sigmac0, sigmai0 and N at grid m from a start 30 % off and
// expects each within 5 % of the truth and within three standard errors.
void expectRecovered(const std::vector<Dataset>& data, ParameterSet start, const ParameterSet& truth, std::int32_t m) {
  constexpr double kShareOfTheTruth = 0.05;  // the fit's grid and stopping rule leave a few per cent
  constexpr double kStandardErrors = 3.0;    // a reported error that is honest covers the truth at 3 sigma
  start.m = m;
  start.hc0_mean *= 1.3f;
  start.sigmac0 *= 1.3f;
  start.sigmai0 *= 0.7f;
  start.N *= 0.7f;
  FitOptions options;
  options.free = parseFreeParameters("hc0_mean,sigmac0,sigmai0,N", start, truth.T_max);
  const FitResult r = fitParameters(start, data, options);
  EXPECT_TRUE(r.converged) << r.termination;
  std::ostringstream report;
  writeReport(report, r, data);
  for (std::size_t j = 0; j < r.values.size(); ++j) {
    const double expected = static_cast<double>(truth.*(options.free[j].value->member));
    EXPECT_NEAR(r.values[j], expected, kShareOfTheTruth * expected) << r.names[j] << "\n" << report.str();
    EXPECT_NEAR(r.values[j], expected, kStandardErrors * r.errors[j]) << r.names[j] << "\n" << report.str();
  }
}

// ZFC and FC in 100 Oe, 39 temperatures up to 300 K; the coercive and
// interaction widths broad enough against the applied field that both
// curves depend on each parameter.
constexpr char kTruth[] = "600 1e-15 0.5 300 1.5 100 1 100 1 0 1 G 600 0.01 y 100 300 y 300 2000 50 300 0.1 n";

TEST(Fit, RecoversTheParametersFromZfcFcCurvesAlone) {
  const ParameterSet truth = support::parametersFrom(kTruth);
  expectRecovered(support::measuredCurves(truth, false, 11), truth, truth, 300);
}

TEST(Fit, RecoversTheParametersFromZfcFcCurvesAndALoopTogether) {
  // The loop's normalisation converges as 1/m with the same sign at every
  // field: at m = 300 its coherent shift of N is about three of the joint
  // fit's small standard errors, so the joint fit runs at m = 600 against
  // data of m = 1200.
  ParameterSet truth = support::parametersFrom(kTruth);
  truth.m = 1200;
  expectRecovered(support::measuredCurves(truth, true, 12), truth, truth, 600);
}

TEST(Fit, ReportsItsBlocksAndWarnsAtABound) {
  ParameterSet truth = support::parametersFrom(kTruth);
  truth.m = 100;
  const std::vector<Dataset> data = support::measuredCurves(truth, false, 13);
  ParameterSet start = truth;
  start.m = 50;
  start.hc0_mean = 240.0f;
  FitOptions options;
  // An upper bound below the truth: the fit ends on it.
  options.free = parseFreeParameters("hc0_mean=200:250,N", start, truth.T_max);
  options.starts = 3;
  const FitResult r = fitParameters(start, data, options);
  std::ostringstream report;
  writeReport(report, r, data);
  const std::string text = report.str();
  for (const char* block : {"[[Fit Statistics]]", "[[Variables]]", "[[Correlations]]", "[[Minima]]", "[[Warnings]]",
                            "reduced chi-square", "Akaike info crit", "Bayesian info crit", "(init = 240"})
    EXPECT_NE(text.find(block), std::string::npos) << block << "\n" << text;
  EXPECT_NE(text.find("hc0_mean is at its upper bound 250"), std::string::npos) << text;
  EXPECT_EQ(r.values[0], 250.0);
  EXPECT_EQ(r.points, 78u);
}

}  // namespace
}  // namespace preisach::fitting
