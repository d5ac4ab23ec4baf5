// The fit: its free-parameter list, the parameter record it writes,
// recovery of known parameters from curves the continuum made with 1 %
// noise from a start 25 % off, the loop-only degeneracy of N and mu0
// named instead of error bars, several starts ending at one minimum, and
// the grid model's path.

#include "fitting/fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>

#include "fitting/continuum_curves.h"
#include "fitting/starts.h"
#include "measured/measured_data.h"
#include "support/parameter_records.h"
#include "support/synthetic_curves.h"

namespace preisach::fitting {
namespace {

using model::ModelParameters;
using parameters::ParameterSet;

constexpr char kRecord[] = "600 1e-15 0.5 300 1.5 60 1 150 1 0 1 G 300 0.01 y 100 300 y 300 1000 50 300 0.1 n";

TEST(FreeParameters, TakeNamesBoundsAndPhysicalDefaults) {
  const ModelParameters p = physicsOf(support::parametersFrom(kRecord));
  const std::vector<FreeParameter> free = parseFreeParameters("hc0_mean=100:500,sigmac0,f,Tc=:900,km=-5:", p, 320.0);
  ASSERT_EQ(free.size(), 5u);
  EXPECT_STREQ(free[0].name(), "hc0_mean");
  EXPECT_STREQ(free[0].parameter->unit, "Oe");
  EXPECT_EQ(free[0].lower, 100.0);
  EXPECT_EQ(free[0].upper, 500.0);
  EXPECT_GT(free[1].lower, 0.0);  // a width is positive
  EXPECT_LT(free[1].lower, 1e-3);
  EXPECT_TRUE(std::isinf(free[1].upper));
  EXPECT_EQ(free[2].lower, 0.0);  // f is a weight
  EXPECT_EQ(free[2].upper, 1.0);
  EXPECT_GT(free[3].lower, 320.0);  // Tc above every temperature of the model
  EXPECT_EQ(free[3].upper, 900.0);
  EXPECT_EQ(free[4].lower, -5.0);
  EXPECT_TRUE(std::isinf(free[4].upper));
}

TEST(FreeParameters, NameEveryContinuousValueOfTheParameterFile) {
  ASSERT_EQ(fittableParameters().size(), parameters::continuousValues().size());
  ParameterSet record = support::parametersFrom(kRecord);
  for (std::size_t j = 0; j < fittableParameters().size(); ++j) {
    EXPECT_STREQ(fittableParameters()[j].name, parameters::continuousValues()[j].name);
    // The same value reaches the physics by both tables.
    record.*(parameters::continuousValues()[j].member) = 1234.5f + static_cast<float>(j);
    EXPECT_EQ(physicsOf(record).*(fittableParameters()[j].member), 1234.5f + static_cast<float>(j));
  }
}

TEST(FreeParameters, RefuseWhatCannotBeFitted) {
  const ModelParameters p = physicsOf(support::parametersFrom(kRecord));
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
  // An empty range names the parameter's own limit where the bounds lie beyond it.
  EXPECT_EQ(refusal("N=2:1"), "--free: N=2:1: the range of N is empty (LO must lie below HI)");
  EXPECT_EQ(refusal("Tc=100:200"),
            "--free: Tc=100:200: Tc must exceed the data's highest temperature (300 K), and the range ends at 200 K");
  EXPECT_EQ(refusal("N=-3:-1"), "--free: N=-3:-1: N must be positive, and the range ends at -1");
  EXPECT_EQ(refusal("f=2:3"), "--free: f=2:3: f is a fraction from 0 to 1, outside the range given");
  // The widths and the mean coercive field stay positive whatever range is given.
  for (const char* name : {"sigmac0", "sigmai0", "hc0_mean"}) {
    const std::vector<FreeParameter> free = parseFreeParameters(std::string(name) + "=-1000:", p, 300.0);
    EXPECT_GT(free[0].lower, 0.0) << name;
  }
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

// ---- the continuum fit -------------------------------------------------------

// ZFC and FC in 100 Oe, 39 temperatures up to 300 K, a loop at 300 K to
// 2000 Oe; widths broad against the field so that both curves depend on
// every parameter.
constexpr char kTruth[] = "600 1e-15 0.5 300 1.5 100 1 100 1 0 1 G 300 0.01 y 100 300 y 300 2000 50 300 0.1 n";
// With honest errors a value lies within 4 sigma of the truth but once in
// 16000; one realisation at a fixed seed is checked against that.
constexpr double kFewSigma = 4.0;

ModelParameters offBy25Percent(ModelParameters p, const std::string& names) {
  const std::vector<FreeParameter> free = parseFreeParameters(names, p, 1.0);
  for (std::size_t j = 0; j < free.size(); ++j) {
    float& v = p.*(free[j].parameter->member);
    v *= j % 2 == 0 ? 1.25f : 0.75f;
  }
  return p;
}

FitResult fitFrom(const ModelParameters& start, const std::vector<Dataset>& data, const std::string& names) {
  FitOptions options;
  options.free = parseFreeParameters(names, start, 300.0);
  options.startFromData = false;
  return fitParameters(start, data, options);
}

std::string reportOf(const FitResult& r, const std::vector<Dataset>& data) {
  std::ostringstream report;
  writeReport(report, r, data);
  return report.str();
}

TEST(Fit, RecoversTheParametersOfZfcFcCurvesAndALoopWithinTheirErrors) {
  const ParameterSet truth = support::parametersFrom(kTruth);
  const std::vector<Dataset> data = support::continuumMeasured(truth, true, true, 11);
  const std::string names = "hc0_mean,sigmac0,sigmai0,N";
  const FitResult r = fitFrom(offBy25Percent(physicsOf(truth), names), data, names);
  const std::string report = reportOf(r, data);
  EXPECT_TRUE(r.converged) << report;
  ASSERT_EQ(r.values.size(), 4u);
  for (std::size_t j = 0; j < r.values.size(); ++j) {
    const FreeParameter f = parseFreeParameters(r.names[j], physicsOf(truth), 1.0)[0];
    ASSERT_TRUE(std::isfinite(r.errors[j])) << report;
    EXPECT_NEAR(r.values[j], f.valueIn(physicsOf(truth)), kFewSigma * r.errors[j]) << r.names[j] << "\n" << report;
    // An error bar of a few per cent: the data do determine each value.
    EXPECT_LT(r.errors[j], 0.05 * std::fabs(r.values[j])) << r.names[j];
  }
  EXPECT_TRUE(r.undetermined.empty()) << report;
  EXPECT_NE(report.find("continuum limit of the grid sums (integrals to a relative tolerance of 1e-10)"),
            std::string::npos)
      << report;
}

TEST(Fit, NamesNAndMu0AsNotDeterminedApartByALoopAlone) {
  // A loop is N mu(T) times a shape that mu0 does not enter: only the
  // product is determined.
  const ParameterSet truth = support::parametersFrom(kTruth);
  const std::vector<Dataset> data = support::continuumMeasured(truth, false, true, 12);
  const std::string names = "hc0_mean,N,mu0";
  const FitResult r = fitFrom(offBy25Percent(physicsOf(truth), names), data, names);
  const std::string report = reportOf(r, data);
  EXPECT_TRUE(r.converged) << report;
  ASSERT_EQ(r.undetermined.size(), 1u) << report;
  EXPECT_NE(r.undetermined[0].find("(the product N·mu0) but not N and mu0 apart"), std::string::npos) << report;
  // N, the larger part of the weak direction or a near tie, is held at the
  // start's value (an arbitrary end of the descent would be written to the
  // fitted file otherwise) and mu0 fitted with it.
  const std::size_t held = r.keptAtStart.at(1) ? 1 : 2, fitted = 3 - held;
  ASSERT_TRUE(r.keptAtStart.at(held)) << report;
  EXPECT_FALSE(r.keptAtStart.at(fitted)) << report;
  EXPECT_TRUE(std::isnan(r.errors[held])) << report;
  EXPECT_TRUE(std::isfinite(r.errors[fitted])) << report;
  const ModelParameters start = offBy25Percent(physicsOf(truth), names);
  EXPECT_EQ(r.values[held], held == 1 ? static_cast<double>(start.N) : static_cast<double>(start.mu0)) << report;
  EXPECT_NE(report.find("N:        "), std::string::npos);
  EXPECT_NE(report.find("+/- (not determined: kept at the parameter file's value)"), std::string::npos) << report;
  // The minimum reached with N held heads the minima, said so.
  ASSERT_FALSE(r.minima.empty()) << report;
  EXPECT_TRUE(r.minima.front().held) << report;
  EXPECT_NE(report.find("(1 start, the undetermined values held at the parameter file's)"), std::string::npos)
      << report;
  // hc0_mean is determined, and right.
  ASSERT_TRUE(std::isfinite(r.errors[0])) << report;
  EXPECT_NEAR(r.values[0], 300.0, kFewSigma * r.errors[0]) << report;
  // The product is right although neither factor need be, and the report
  // gives it with its error, and the exact symmetry in words.
  const double product = r.values[1] * r.values[2];
  EXPECT_NEAR(product / 1e-15, 1.0, 0.02) << report;
  ASSERT_EQ(r.combinations.size(), 1u) << report;
  const std::string& c = r.combinations[0];
  ASSERT_EQ(c.rfind("N·mu0 = ", 0), 0u) << c;
  const double value = std::stod(c.substr(c.find('=') + 2)), error = std::stod(c.substr(c.find("+/-") + 4));
  EXPECT_NEAR(value, product, 1e-6 * product) << c;
  EXPECT_NEAR(value, 1e-15, kFewSigma * error) << c;
  EXPECT_NE(c.find(" emu (determined; N and mu0 apart are not)"), std::string::npos) << c;
  EXPECT_NE(report.find("[[Symmetries]]"), std::string::npos) << report;
  EXPECT_NE(report.find("loops are unchanged when N is multiplied and mu0 divided by any lambda"), std::string::npos);
}

// ZFC/FC in one field fix the fields only against hts = 25 kB T / mu0: the
// report says so, and, with every field of the scaling free, that the fit
// can run along it. A density centred beyond what the curves switch is
// warned of.
TEST(Fit, StatesTheScalingOfOneFieldAndADensityBeyondTheData) {
  const ParameterSet truth = support::parametersFrom(kTruth);
  const std::vector<Dataset> data = support::continuumMeasured(truth, true, false, 14);
  FitOptions options;
  options.free = parseFreeParameters("hc0_mean,sigmac0,sigmai0,km,mu0,N", physicsOf(truth), 300.0);
  options.startFromData = false;
  options.limits.maxIterations = 5;  // the statement does not need a minimum
  const FitResult r = fitParameters(physicsOf(truth), data, options);
  ASSERT_EQ(r.symmetries.size(), 1u);
  EXPECT_NE(r.symmetries[0].find("hc0_mean, sigmac0, sigmai0 and ha + km are multiplied by any lambda, mu0 divided "
                                 "by lambda and N multiplied by lambda"),
            std::string::npos)
      << r.symmetries[0];
  EXPECT_NE(r.symmetries[0].find("all of them are free, so the fit can run along this line"), std::string::npos);
  // hts(300 K) = 25 kB 300 K / 1e-15 emu = 1035 Oe; a centre of 4000 Oe
  // at 0 K, 1414 Oe at 300 K, stays beyond it at every measured
  // temperature (a width of 800 Oe leaves the curves a tail to see).
  ModelParameters beyond = physicsOf(truth);
  beyond.hc0_mean = 4000.0f;
  beyond.sigmac0 = 800.0f;
  const FitResult compared = compareRecord(beyond, data, {});
  bool warned = false;
  for (const std::string& w : compared.warnings)
    warned = warned || w.find("lies beyond hts = 1035 Oe, the largest coercive field the ZFC/FC curves switch") !=
                           std::string::npos;
  EXPECT_TRUE(warned) << reportOf(compared, data);
  const FitResult inside = compareRecord(physicsOf(truth), data, {});
  for (const std::string& w : inside.warnings) EXPECT_EQ(w.find("lies beyond"), std::string::npos) << w;
}

TEST(Fit, CountsStartsThatEndAtOnePointAsOneMinimum) {
  const ParameterSet truth = support::parametersFrom(kTruth);
  const std::vector<Dataset> data = support::continuumMeasured(truth, true, false, 13);
  const std::string names = "hc0_mean=150:600,N=0.3:3";
  FitOptions options;
  options.free = parseFreeParameters(names, physicsOf(truth), 300.0);
  options.starts = 4;
  const FitResult r = fitParameters(physicsOf(truth), data, options);
  const std::string report = reportOf(r, data);
  EXPECT_TRUE(r.converged) << report;
  ASSERT_EQ(r.minima.size(), 1u) << report;
  EXPECT_EQ(r.minima[0].starts, 4) << report;
  EXPECT_EQ(r.stalled, 0) << report;
  EXPECT_NE(report.find("[[Minima]] (1 minimum over 4 starts"), std::string::npos) << report;
}

TEST(Fit, WarnsAtABoundAndEndsOnIt) {
  const ParameterSet truth = support::parametersFrom(kTruth);
  const std::vector<Dataset> data = support::continuumMeasured(truth, true, false, 14);
  ModelParameters start = physicsOf(truth);
  start.hc0_mean = 240.0f;
  FitOptions options;
  // An upper bound below the truth: the fit ends on it.
  options.free = parseFreeParameters("hc0_mean=200:250,N", start, 300.0);
  options.startFromData = false;
  const FitResult r = fitParameters(start, data, options);
  const std::string report = reportOf(r, data);
  for (const char* block : {"[[Model]]", "[[Fit Statistics]]", "[[Variables]] (K, Oe, emu)", "[[Correlations]]",
                            "[[Minima]]", "[[Warnings]]", "reduced chi-square", "(init = 240"})
    EXPECT_NE(report.find(block), std::string::npos) << block << "\n" << report;
  EXPECT_NE(report.find("hc0_mean is at its upper bound 250"), std::string::npos) << report;
  EXPECT_TRUE(r.converged) << "a minimum on a bound is a minimum\n" << report;
  EXPECT_EQ(r.values[0], 250.0);
  EXPECT_EQ(r.points, 78u);
  // So far from the truth the model misses the data.
  EXPECT_NE(report.find("the model does not describe the data within their errors"), std::string::npos) << report;
}

TEST(Fit, StartsFromTheLoopsCoerciveFieldAndSaturation) {
  const ParameterSet truth = support::parametersFrom(kTruth);
  const std::vector<Dataset> data = support::continuumMeasured(truth, false, true, 15);
  ModelParameters start = physicsOf(truth);
  start.hc0_mean = 1000.0f;
  start.N = 5.0f;
  FitOptions options;
  options.free = parseFreeParameters("hc0_mean,N", start, 300.0);
  const FitResult r = fitParameters(start, data, options);
  ASSERT_EQ(r.startNotes.size(), 3u) << reportOf(r, data);
  EXPECT_NE(r.startNotes[0].find("hc0_mean = "), std::string::npos);
  EXPECT_NE(r.startNotes[0].find("from the coercive field of loop"), std::string::npos);
  // The start is near the truth: within a quarter of hc0_mean, N within 10 %.
  EXPECT_NEAR(r.start[0], 300.0, 75.0) << r.startNotes[0];
  EXPECT_NEAR(r.start[1], 1.0, 0.1) << r.startNotes[2];
  EXPECT_TRUE(r.converged);
}

TEST(ContinuumCost, DifferentiatesByEveryParameterAsDifferencesOfTheCurvesDo) {
  // Every parameter reaches the Jets by its own name: each column of the
  // automatic Jacobian against central differences of the double curves.
  ParameterSet truth = support::parametersFrom(kTruth);
  truth.km = 20.0f, truth.s = 30.0f, truth.f = 0.2f;
  std::vector<Dataset> data = support::continuumMeasured(truth, true, true, 17);
  const ModelParameters p = physicsOf(truth);
  const Scaling scaling(p, parseFreeParameters("Tc,mu0,Gamma,hc0_mean,Gamma_c,sigmac0,Gamma_cprim,sigmai0,Gamma_i,km,N,"
                                               "s,lambda,f",
                                               p, 300.0));
  const std::unique_ptr<ceres::CostFunction> cost = continuumCost(scaling, data, 1e-12);
  const std::vector<double> x = scaling.startPoint();
  const std::size_t n = pointCount(data), k = scaling.size();
  std::vector<double> r(n), J(n * k);
  const double* parameters[] = {x.data()};
  double* jacobians[] = {J.data()};
  ASSERT_TRUE(cost->Evaluate(parameters, r.data(), jacobians));
  // Central differences of relative step 1e-5 are good to about 1e-9 of a
  // column (truncation h^2, rounding 1e-16 / h, the integrals to 1e-12).
  constexpr double kStep = 1e-5, kAgreement = 1e-6;
  for (std::size_t j = 0; j < k; ++j) {
    ModelParameters plus = p, minus = p;
    float* member[] = {&(plus.*(scaling.free()[j].parameter->member)), &(minus.*(scaling.free()[j].parameter->member))};
    const double value = static_cast<double>(*member[0]);
    const double h = kStep * (value == 0.0 ? 1.0 : std::fabs(value));
    *member[0] = static_cast<float>(value + h);
    *member[1] = static_cast<float>(value - h);
    const double width = static_cast<double>(*member[0]) - static_cast<double>(*member[1]);
    const std::vector<double> up = weightedResiduals(continuumCurves(plus, data, 1e-12), data);
    const std::vector<double> down = weightedResiduals(continuumCurves(minus, data, 1e-12), data);
    double difference = 0.0, size = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      const double numeric = (up[i] - down[i]) / width * scaling.scale(j);
      difference = std::max(difference, std::fabs(J[i * k + j] - numeric));
      size = std::max(size, std::fabs(numeric));
    }
    EXPECT_LT(difference, kAgreement * size + 1e-12) << scaling.free()[j].name();
  }
}

TEST(Starts, FillEveryStratumOfEachParameterOnce) {
  const ModelParameters p = physicsOf(support::parametersFrom(kTruth));
  const Scaling scaling(p, parseFreeParameters("hc0_mean=100:500,N,km", p, 300.0));
  const std::vector<double> x0 = scaling.startPoint();
  const std::vector<std::vector<double>> starts = spreadStarts(scaling, x0, 10);
  ASSERT_EQ(starts.size(), 10u);
  std::vector<int> strata(10, 0);
  for (const std::vector<double>& x : starts) {
    // hc0_mean: the bounds [100, 500] Oe in tenths.
    const double hc0 = x[0] * scaling.scale(0);
    ASSERT_GT(hc0, 100.0);
    ASSERT_LT(hc0, 500.0);
    ++strata[static_cast<std::size_t>((hc0 - 100.0) / 40.0)];
    // N: positive without an upper bound, a factor of three about the start.
    EXPECT_GE(x[1], x0[1] / 3.0);
    EXPECT_LE(x[1], 3.0 * x0[1]);
  }
  for (int count : strata) EXPECT_EQ(count, 1);
}

TEST(Fit, FollowsTheGridModelAtTheFilesM) {
  ParameterSet truth = support::parametersFrom(kTruth);
  truth.m = 100;
  const std::vector<Dataset> data = support::measuredCurves(truth, false, 16);
  ModelParameters start = physicsOf(truth);
  start.hc0_mean = 330.0f;
  start.N = 0.8f;
  FitOptions options;
  options.model = ModelKind::Grid;
  options.m = 100;
  options.free = parseFreeParameters("hc0_mean,N", start, 300.0);
  options.startFromData = false;
  const FitResult r = fitParameters(start, data, options);
  const std::string report = reportOf(r, data);
  EXPECT_NE(report.find("the program's grid at m = 100"), std::string::npos) << report;
  // Data and model on one grid: the truth within a few of the fit's errors.
  ASSERT_TRUE(std::isfinite(r.errors[0]) && std::isfinite(r.errors[1])) << report;
  EXPECT_NEAR(r.values[0], 300.0, kFewSigma * r.errors[0]) << report;
  EXPECT_NEAR(r.values[1], 1.0, kFewSigma * r.errors[1]) << report;
}

// ZFC/FC moments that span decades with a noise of 1 % of each moment and
// no error column: with that noise stated (--error 1%) each point is
// weighed by it, the truth lies within the errors and chi-square per degree
// of freedom is near 1; the report says which weights were used.
TEST(Fit, WeighsEachPointByAStatedRelativeNoise) {
  const ParameterSet truth = support::parametersFrom(kTruth);
  std::vector<Dataset> data = support::pointsToMeasure(truth, true, false);
  const std::vector<std::vector<double>> exact = continuumCurves(physicsOf(truth), data, 1e-12);
  std::mt19937 random(23);
  std::normal_distribution<double> noise(0.0, 1.0);
  for (std::size_t d = 0; d < data.size(); ++d)
    for (double M : exact[d]) {
      data[d].curve.moment.push_back(M * (1.0 + 0.01 * noise(random)));
      data[d].curve.line.push_back(static_cast<int>(data[d].curve.line.size()) + 1);
    }
  for (Dataset& d : data) {
    d.noise = {NoiseModel::Kind::Relative, 0.01};
    weigh(d);
  }
  const std::string names = "hc0_mean,sigmac0,sigmai0,N";
  const FitResult r = fitFrom(offBy25Percent(physicsOf(truth), names), data, names);
  const std::string report = reportOf(r, data);
  EXPECT_TRUE(r.converged) << report;
  EXPECT_TRUE(r.measuredErrors);
  for (std::size_t j = 0; j < r.values.size(); ++j) {
    const FreeParameter f = parseFreeParameters(r.names[j], physicsOf(truth), 1.0)[0];
    EXPECT_NEAR(r.values[j], f.valueIn(physicsOf(truth)), kFewSigma * r.errors[j]) << r.names[j] << "\n" << report;
  }
  const double dof = static_cast<double>(r.points - r.values.size());
  EXPECT_NEAR(r.chiSquare / dof, 1.0, 4.0 * std::sqrt(2.0 / dof)) << report;
  EXPECT_NE(report.find("weights            = stated relative errors of 1 % of each moment (--error)"),
            std::string::npos)
      << report;
  EXPECT_EQ(report.find("is far below its expected"), std::string::npos) << report;
  // The same points said to scatter by 10 %: chi-square a hundredth of its
  // expectation, and the report says the errors are overstated.
  for (Dataset& d : data) {
    d.noise = {NoiseModel::Kind::Relative, 0.1};
    weigh(d);
  }
  const std::string overstated = reportOf(fitFrom(physicsOf(truth), data, names), data);
  EXPECT_NE(overstated.find("is far below its expected"), std::string::npos) << overstated;
  const std::size_t factor = overstated.find("too large by about ");
  ASSERT_NE(factor, std::string::npos) << overstated;
  EXPECT_NEAR(std::stod(overstated.substr(factor + 19)), 10.0, 1.5) << overstated;
}

}  // namespace
}  // namespace preisach::fitting
