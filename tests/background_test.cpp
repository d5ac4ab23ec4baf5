// The background terms a real sample adds to its particles: curves made by
// the continuum with a known susceptibility, offset or Curie tail added and
// 1 % noise, fitted from a start 25 % off, give back every term and the
// particles' parameters within their errors; without the term the fit says
// the model does not describe the data. The option's words are checked.

#include "fitting/background.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "fitting/continuum_curves.h"
#include "fitting/fit.h"
#include "measured/data_error.h"
#include "support/parameter_records.h"
#include "support/synthetic_curves.h"

namespace preisach::fitting {
namespace {

using model::ModelParameters;
using parameters::ParameterSet;

constexpr char kTruth[] = "600 1e-15 0.5 300 1.5 100 1 100 1 0 1 G 300 0.01 y 100 300 y 300 2000 50 300 0.1 n";
// Within 4 sigma but once in 16000 with honest errors.
constexpr double kFewSigma = 4.0;

struct Truth {
  double chi = 0.0, offset = 0.0, C = 0.0, theta = 0.0;
};

// The continuum's curves at the truth plus the background, measured with
// noise of 1 % of each curve's largest moment.
std::vector<Dataset> measuredWith(const Truth& t, bool zfcFc, bool loop, unsigned seed) {
  const ParameterSet truth = support::parametersFrom(kTruth);
  std::vector<Dataset> data = support::pointsToMeasure(truth, zfcFc, loop);
  std::vector<std::vector<double>> exact = continuumCurves(physicsOf(truth), data, 1e-12);
  for (std::size_t d = 0; d < data.size(); ++d)
    for (std::size_t k = 0; k < exact[d].size(); ++k) {
      const double x = data[d].curve.x[k];
      exact[d][k] += data[d].kind == CurveKind::Loop ? t.chi * x + t.offset
                                                     : t.C * static_cast<double>(data[d].field) / (x - t.theta);
    }
  support::measure(data, exact, seed);
  return data;
}

// The largest particles' moment of the first dataset of a kind, to set the
// background's size against.
double largestMoment(bool loop) {
  const ParameterSet truth = support::parametersFrom(kTruth);
  const std::vector<Dataset> data = support::pointsToMeasure(truth, !loop, loop);
  double largest = 0.0;
  const std::vector<std::vector<double>> curves = continuumCurves(physicsOf(truth), data, 1e-10);
  for (double M : curves[0]) largest = std::max(largest, std::fabs(M));
  return largest;
}

FitResult fitWith(const std::vector<Dataset>& data, const std::string& names, const std::string& background) {
  ModelParameters start = physicsOf(support::parametersFrom(kTruth));
  FitOptions options;
  options.free = parseFreeParameters(names, start, 300.0);
  for (std::size_t j = 0; j < options.free.size(); ++j)
    start.*(options.free[j].parameter->member) *= j % 2 == 0 ? 1.25f : 0.75f;
  options.startFromData = false;
  options.background = parseBackground({background}, data);
  return fitParameters(start, data, options);
}

std::string reportOf(const FitResult& r, const std::vector<Dataset>& data) {
  std::ostringstream report;
  writeReport(report, r, data);
  return report.str();
}

const BackgroundTerm& term(const FitResult& r, const std::string& name) {
  for (const BackgroundTerm& t : r.background)
    if (t.name == name) return t;
  throw std::logic_error("no background term " + name);
}

void expectRecovered(const FitResult& r, const std::string& report) {
  EXPECT_TRUE(r.converged) << report;
  const ModelParameters truth = physicsOf(support::parametersFrom(kTruth));
  for (std::size_t j = 0; j < r.values.size(); ++j) {
    ASSERT_TRUE(std::isfinite(r.errors[j])) << r.names[j] << "\n" << report;
    const FreeParameter f = parseFreeParameters(r.names[j], truth, 1.0)[0];
    EXPECT_NEAR(r.values[j], f.valueIn(truth), kFewSigma * r.errors[j]) << r.names[j] << "\n" << report;
  }
  EXPECT_EQ(report.find("far above its expected"), std::string::npos) << report;
}

TEST(Background, ALoopsSusceptibilityAndOffsetAreRecoveredWithinTheirErrors) {
  // A diamagnetic holder: chi·Ha_max is a fifth of the particles' saturation.
  const double largest = largestMoment(true);
  const Truth t{-0.2 * largest / 2000.0, 0.03 * largest, 0.0, 0.0};
  const std::vector<Dataset> data = measuredWith(t, false, true, 31);
  const FitResult r = fitWith(data, "hc0_mean,sigmac0,N", "linear+offset");
  const std::string report = reportOf(r, data);
  expectRecovered(r, report);
  ASSERT_EQ(r.background.size(), 2u) << report;
  EXPECT_NEAR(term(r, "chi_loop").value, t.chi, kFewSigma * term(r, "chi_loop").error) << report;
  EXPECT_NEAR(term(r, "M0_loop").value, t.offset, kFewSigma * term(r, "M0_loop").error) << report;
  // The errors are real ones: the susceptibility is determined to a few per cent.
  EXPECT_LT(term(r, "chi_loop").error, 0.05 * std::fabs(t.chi)) << report;
  EXPECT_NE(report.find("[[Background]]"), std::string::npos);
  EXPECT_NE(report.find("# variables        = 5 (2 of the background)"), std::string::npos) << report;
  // The model's curve holds the background; its part is given apart.
  ASSERT_EQ(r.backgroundValues.size(), 1u);
  const std::size_t last = data[0].curve.size() - 1;
  EXPECT_NEAR(r.backgroundValues[0][last], term(r, "chi_loop").value * data[0].curve.x[last] + term(r, "M0_loop").value,
              1e-12 * largest);
}

TEST(Background, ACurieTailOfZfcFcIsRecoveredAndMissedWithoutTheTerm) {
  // Impurities whose Curie tail at the lowest temperature is half the
  // particles' largest moment.
  const double largest = largestMoment(false);
  const ParameterSet truth = support::parametersFrom(kTruth);
  const double coldest = support::pointsToMeasure(truth, true, false)[0].curve.x.front();
  const Truth t{0.0, 0.0, 0.5 * largest * coldest / static_cast<double>(truth.ha), 0.0};
  const std::vector<Dataset> data = measuredWith(t, true, false, 32);
  const FitResult r = fitWith(data, "hc0_mean,sigmai0,N", "curie");
  const std::string report = reportOf(r, data);
  expectRecovered(r, report);
  ASSERT_EQ(r.background.size(), 1u);
  EXPECT_NEAR(term(r, "C").value, t.C, kFewSigma * term(r, "C").error) << report;
  EXPECT_LT(term(r, "C").error, 0.05 * t.C) << report;

  // The same data without the term: the tail lands in the residuals.
  FitOptions options;
  options.free = parseFreeParameters("hc0_mean,sigmai0,N", physicsOf(truth), 300.0);
  options.startFromData = false;
  const FitResult without = fitParameters(physicsOf(truth), data, options);
  EXPECT_NE(reportOf(without, data).find("far above its expected"), std::string::npos);
}

TEST(Background, ACurieWeissTemperatureIsRecoveredWithinItsError) {
  const double largest = largestMoment(false);
  const ParameterSet truth = support::parametersFrom(kTruth);
  const double coldest = support::pointsToMeasure(truth, true, false)[0].curve.x.front();
  const Truth t{0.0, 0.0, 0.5 * largest * (coldest + 8.0) / static_cast<double>(truth.ha), -8.0};
  const std::vector<Dataset> data = measuredWith(t, true, false, 33);
  const FitResult r = fitWith(data, "hc0_mean,sigmai0,N", "curie-weiss");
  const std::string report = reportOf(r, data);
  expectRecovered(r, report);
  ASSERT_EQ(r.background.size(), 2u) << report;
  EXPECT_NEAR(term(r, "C").value, t.C, kFewSigma * term(r, "C").error) << report;
  EXPECT_NEAR(term(r, "theta").value, t.theta, kFewSigma * term(r, "theta").error) << report;
  ASSERT_TRUE(std::isfinite(term(r, "theta").error)) << report;
}

TEST(Background, ComparingARecordFitsOnlyTheBackground) {
  const double largest = largestMoment(true);
  const Truth t{0.1 * largest / 2000.0, 0.0, 0.0, 0.0};
  const std::vector<Dataset> data = measuredWith(t, false, true, 34);
  FitOptions options;
  options.background = parseBackground({"linear"}, data);
  const FitResult r = compareRecord(physicsOf(support::parametersFrom(kTruth)), data, options);
  ASSERT_EQ(r.background.size(), 1u);
  EXPECT_NEAR(term(r, "chi_loop").value, t.chi, kFewSigma * term(r, "chi_loop").error) << reportOf(r, data);
  // Chi-square at the truth with chi fitted: about one per point.
  EXPECT_LT(r.chiSquare, 1.5 * static_cast<double>(r.points)) << reportOf(r, data);
}

TEST(Background, TheOptionNamesItsTermsAndTheKindOfDataEachNeeds) {
  const std::vector<Dataset> loopOnly = measuredWith({}, false, true, 35);
  const std::vector<Dataset> both = measuredWith({}, true, true, 35);
  const auto refusal = [](const std::vector<std::string>& texts, const std::vector<Dataset>& data) {
    try {
      parseBackground(texts, data);
    } catch (const measured::DataError& e) {
      return std::string(e.what());
    }
    return std::string("(accepted)");
  };
  EXPECT_EQ(refusal({"linear,curie-weiss"}, both), "(accepted)");
  EXPECT_EQ(refusal({"linear", "curie"}, both), "(accepted)");
  EXPECT_EQ(refusal({"curie"}, loopOnly),
            "--background curie is a term of ZFC/FC curves, and none is given (--zfcfc, --zfc, --fc)");
  EXPECT_EQ(refusal({"linear,linear+offset"}, both),
            "--background: two terms for the loops (linear or linear+offset, one of them)");
  EXPECT_EQ(refusal({"curie", "curie-weiss"}, both),
            "--background: two terms for ZFC/FC (curie or curie-weiss, one of them)");
  EXPECT_NE(refusal({"quadratic"}, both).find("\"quadratic\" is not a background term"), std::string::npos);
  EXPECT_NE(refusal({"Linear"}, both).find("is not a background term"), std::string::npos);
  // An empty item names nothing, wherever it stands.
  for (const char* text : {"curie,", ",curie", "linear,,curie", ""})
    EXPECT_NE(refusal({text}, both).find("\"\" is not a background term"), std::string::npos) << text;
  const BackgroundChoice c = parseBackground({"linear+offset", "curie-weiss"}, both);
  EXPECT_EQ(Background(c, both).parameterCount(), 4u);  // chi, M0, C, theta
}

}  // namespace
}  // namespace preisach::fitting
