// The fast evaluation against the node-by-node reference, bit for bit, on
// many small grids: all four shapes, refined and unrefined axes, both
// branches, fields and thermal fields that put nodes on region boundaries,
// temperatures above T_max and at or above Tc.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "driver/console_lines.h"
#include "driver/hysteresis_loop.h"
#include "hysteresis/loop_pass.h"
#include "model/normalisation.h"
#include "program_wrappers.h"
#include "reference/hysteresis_reference.h"
#include "reference/normalisation_reference.h"
#include "reference/reference_evaluations.h"
#include "reference/zfcfc_reference.h"
#include "test_support.h"
#include "zfcfc/zfcfc_point.h"

namespace preisach {
namespace {

constexpr model::DensityShape kShapes[] = {model::DensityShape::G, model::DensityShape::L, model::DensityShape::M,
                                           model::DensityShape::N};

// One of a few values, drawn uniformly: the few settings that put nodes on
// band and region boundaries come up often.
class Pick {
 public:
  explicit Pick(unsigned seed) : random_(seed) {}
  float operator()(std::initializer_list<float> values) {
    return *(values.begin() + std::uniform_int_distribution<std::size_t>(0, values.size() - 1)(random_));
  }

 private:
  std::mt19937 random_;
};

// Every counter, sum and result of two evaluations, as text, so that a
// mismatch shows which one differs.
std::string describe(const zfcfc::ZfcFcPointValues& v) {
  std::ostringstream s;
  const zfcfc::RegionSum* regions[] = {&v.norm,  &v.sp1,   &v.sp2,     &v.up1,  &v.down1, &v.up2,
                                       &v.down2, &v.upZFC, &v.downZFC, &v.upFC, &v.downFC};
  for (const zfcfc::RegionSum* r : regions) s << r->count << ":" << test::hex(r->sum) << " ";
  for (double x : {v.IntegralNorm, v.Integral11SP, v.Integral22SP, v.Integral1p, v.Integral1m, v.Integral2p,
                   v.Integral2m, v.Integral3pZFC, v.Integral3mZFC, v.Integral3pFC, v.Norm_coeff, v.M_ZFC, v.M_FC})
    s << test::hex(x) << " ";
  return s.str();
}

struct ZfcCase {
  float T_max, T, Tc, mu0, Gamma, ha, hc0_mean, Gamma_c, sigmac0, Gamma_cprim, sigmai0, Gamma_i, km, N;
  std::int32_t m;
  model::DensityShape shape;
};

model::ModelParameters physicsOf(const ZfcCase& c) {
  model::ModelParameters p;
  p.Tc = c.Tc, p.mu0 = c.mu0, p.Gamma = c.Gamma, p.ha = c.ha, p.hc0_mean = c.hc0_mean, p.Gamma_c = c.Gamma_c;
  p.sigmac0 = c.sigmac0, p.Gamma_cprim = c.Gamma_cprim, p.sigmai0 = c.sigmai0, p.Gamma_i = c.Gamma_i, p.km = c.km;
  p.N = c.N, p.PDF = c.shape, p.T_max = c.T_max;
  return p;
}

void expectSameZfcFc(const ZfcCase& c) {
  const zfcfc::ZfcFcPointValues fast = zfcfc::evaluateZfcFcPoint(physicsOf(c), c.m, c.T);
  const zfcfc::ZfcFcPointValues slow = reference::evaluateZfcFcPoint(physicsOf(c), c.m, c.T);
  ASSERT_EQ(describe(fast), describe(slow))
      << "shape " << static_cast<char>(c.shape) << " m=" << c.m << " T=" << c.T << " T_max=" << c.T_max
      << " Tc=" << c.Tc << " ha=" << c.ha << " sigmas " << c.sigmac0 << "," << c.sigmai0 << " mu0=" << c.mu0;
}

TEST(FastZfcFcPoint, MatchesTheWorkedGridExample) {
  for (model::DensityShape shape : kShapes)
    expectSameZfcFc({100, 47, 300, 3.45e-15f, 0.5f, 5, 30, 1, 100, 1, 100, 1, 0, 1, 10, shape});
}

TEST(FastZfcFcPoint, MatchesTheReferenceOnManySmallGrids) {
  Pick pick(2024);
  for (int n = 0; n < 400; ++n) {
    ZfcCase c{};
    c.shape = kShapes[n % 4];
    c.Tc = pick({45.0f, 95.0f, 300.0f, 600.0f});
    c.T_max = pick({50.0f, 100.0f, 290.0f});
    c.T = pick({5.0f, 25.0f, 45.0f, 47.0f, 50.0f, 55.0f, 95.0f, 110.0f, 200.0f});
    // 3.45e-15 makes every thermal field nearly its temperature: many nodes
    // then lie on band and region boundaries.
    c.mu0 = pick({3.45e-15f, 1e-15f, 6.9e-15f});
    c.Gamma = pick({0.5f, 1.0f});
    c.ha = pick({0.0f, 5.0f, 10.0f, 100.0f, -20.0f});
    c.hc0_mean = pick({0.0f, 30.0f, 300.0f});
    c.Gamma_c = pick({0.0f, 1.5f});
    c.sigmac0 = pick({1.0f, 30.0f, 100.0f, 1e4f});
    c.Gamma_cprim = pick({0.0f, 1.0f});
    c.sigmai0 = pick({1.0f, 30.0f, 100.0f, 1e4f});
    c.Gamma_i = pick({0.5f, 1.0f});
    c.km = pick({0.0f, 5.0f, -30.0f});
    c.N = pick({1.0f, 0.5f});
    c.m = static_cast<std::int32_t>(pick({3.0f, 4.0f, 10.0f, 17.0f, 30.0f}));
    expectSameZfcFc(c);
    if (HasFatalFailure()) return;
  }
}

TEST(FastZfcFcPoints, SumManyTemperaturesInOneSweepAsTheReferenceDoesOneByOne) {
  Pick pick(31);
  for (int n = 0; n < 60; ++n) {
    ZfcCase c{};
    c.shape = kShapes[n % 4];
    c.Tc = pick({95.0f, 300.0f, 600.0f});
    c.T_max = pick({50.0f, 100.0f, 290.0f});
    c.mu0 = pick({3.45e-15f, 1e-15f});
    c.Gamma = 0.5f;
    c.ha = pick({0.0f, 5.0f, 100.0f, -20.0f});
    c.hc0_mean = pick({30.0f, 300.0f});
    c.Gamma_c = 1.5f;
    c.sigmac0 = pick({1.0f, 30.0f, 1e4f});
    c.Gamma_cprim = 1.0f;
    c.sigmai0 = pick({1.0f, 30.0f, 1e4f});
    c.Gamma_i = 1.0f;
    c.km = pick({0.0f, -30.0f});
    c.N = 1.0f;
    c.m = static_cast<std::int32_t>(pick({3.0f, 10.0f, 17.0f, 30.0f}));
    // Temperatures below, at and above T_max and Tc, some repeated.
    std::vector<float> temperatures;
    for (int k = 0; k < 1 + n % 9; ++k)
      temperatures.push_back(pick({5.0f, 25.0f, 47.0f, 50.0f, 95.0f, 110.0f, 200.0f, 300.0f}));
    const std::vector<zfcfc::ZfcFcPointValues> together = zfcfc::evaluateZfcFcPoints(physicsOf(c), c.m, temperatures);
    ASSERT_EQ(together.size(), temperatures.size());
    for (std::size_t k = 0; k < temperatures.size(); ++k) {
      const zfcfc::ZfcFcPointValues slow = reference::evaluateZfcFcPoint(physicsOf(c), c.m, temperatures[k]);
      ASSERT_EQ(describe(together[k]), describe(slow))
          << "case " << n << " shape " << static_cast<char>(c.shape) << " T=" << temperatures[k];
    }
  }
}

std::string describe(const hysteresis::HysteresisPointValues& v) {
  std::ostringstream s;
  s << static_cast<int>(v.branch) << " " << test::hex(v.H) << " " << v.k1 << ":" << test::hex(v.sum1) << " " << v.k2
    << ":" << test::hex(v.sum2) << " " << v.k10 << " ";
  for (const model::GridAxis* axis : {&v.hcAxis, &v.hiAxis})
    s << test::hex(axis->lo) << "+" << axis->count << "*" << test::hex(axis->step) << " ";
  for (double x : {v.mu, v.hts_T0, v.floorValue, v.Integral1, v.Integral2, v.M_rev, v.M_irr, v.M, v.irreversibleColumn,
                   v.reversibleColumn})
    s << test::hex(x) << " ";
  return s.str();
}

struct LoopCase {
  float Tc, mu0, Gamma, hc0_mean, Gamma_c, sigmac0, Gamma_cprim, sigmai0, Gamma_i, km, N;
  std::int32_t m;
  model::DensityShape shape;
  float T_hyst, Ha_max, Norm_coeff, s, lambda, f;
};

// A loop's parameters; ha, the field of the ZFC/FC curves, is left at 0.
model::ModelParameters physicsOf(const LoopCase& c) {
  model::ModelParameters p;
  p.Tc = c.Tc, p.mu0 = c.mu0, p.Gamma = c.Gamma, p.hc0_mean = c.hc0_mean, p.Gamma_c = c.Gamma_c;
  p.sigmac0 = c.sigmac0, p.Gamma_cprim = c.Gamma_cprim, p.sigmai0 = c.sigmai0, p.Gamma_i = c.Gamma_i, p.km = c.km;
  p.N = c.N, p.PDF = c.shape, p.T_hyst = c.T_hyst, p.Ha_max = c.Ha_max, p.s = c.s, p.lambda = c.lambda, p.f = c.f;
  return p;
}

// Every field of both branches, and a few fields off the schedule.
void expectSameLoop(const LoopCase& c) {
  for (hysteresis::Branch branch : {hysteresis::Branch::Descending, hysteresis::Branch::Ascending}) {
    const float ha_max = branch == hysteresis::Branch::Descending ? c.Ha_max : -c.Ha_max;
    const hysteresis::HysteresisBranch fast(physicsOf(c), c.m, branch);
    std::vector<float> fields = driver::fieldSchedule(c.Ha_max, branch);
    for (float extra : {0.0f, 0.3f * c.Ha_max, -c.Ha_max, c.Ha_max, 1.5f * c.Ha_max}) fields.push_back(extra);
    // Every field alone, and all of them in one sweep.
    const std::vector<hysteresis::HysteresisPointValues> together = fast.evaluate(fields, c.Norm_coeff);
    ASSERT_EQ(together.size(), fields.size());
    for (std::size_t k = 0; k < fields.size(); ++k) {
      const float ha = fields[k];
      const hysteresis::HysteresisPointValues slow =
          reference::evaluateHysteresisPoint(physicsOf(c), c.m, ha, ha_max, c.Norm_coeff);
      ASSERT_EQ(describe(fast.evaluate(ha, c.Norm_coeff)), describe(slow))
          << "shape " << static_cast<char>(c.shape) << " m=" << c.m << " Ha_max=" << c.Ha_max << " ha=" << ha
          << " branch " << static_cast<int>(branch) << " sigmas " << c.sigmac0 << "," << c.sigmai0;
      ASSERT_EQ(describe(together[k]), describe(slow)) << "in one sweep, ha=" << ha;
    }
  }
}

TEST(FastHysteresisPoint, MatchesTheWorkedExamples) {
  for (model::DensityShape shape : kShapes) {
    expectSameLoop({600, 3.45e-15f, 0.5f, 0.5f, 1, 10, 1, 10, 1, 0, 1, 10, shape, 47, 1, 2, 0.5f, 2, 0.25f});
    expectSameLoop({600, 3.45e-15f, 0.5f, 300, 1, 10, 1, 10, 1, 0, 1, 50, shape, 47, 1000, 2, 0.5f, 2, 0.25f});
  }
}

TEST(FastHysteresisPoint, MatchesTheReferenceOnManySmallGrids) {
  Pick pick(77);
  for (int n = 0; n < 120; ++n) {
    LoopCase c{};
    c.shape = kShapes[n % 4];
    c.Tc = pick({300.0f, 600.0f});
    c.mu0 = pick({1e-15f, 3.45e-15f});
    c.Gamma = 0.5f;
    c.hc0_mean = pick({0.5f, 30.0f, 300.0f});
    c.Gamma_c = pick({0.0f, 1.5f});
    c.sigmac0 = pick({0.1f, 1.0f, 30.0f, 1e4f});
    c.Gamma_cprim = 1.0f;
    c.sigmai0 = pick({0.1f, 1.0f, 30.0f, 1e4f});
    c.Gamma_i = 1.0f;
    c.km = pick({0.0f, 5.0f, -30.0f});
    c.N = pick({1.0f, 0.5f});
    c.m = static_cast<std::int32_t>(pick({2.0f, 3.0f, 10.0f, 16.0f, 25.0f}));
    c.T_hyst = pick({0.0f, 47.0f, 300.0f});
    c.Ha_max = pick({1.0f, 0.3f, 100.0f, 1000.0f, 3000.0f});
    c.Norm_coeff = pick({1.0f, 3.58516f});
    c.s = pick({0.0f, 50.0f});
    c.lambda = pick({300.0f, 2.0f});
    c.f = pick({0.0f, 0.1f, 1.0f});
    expectSameLoop(c);
    if (HasFatalFailure()) return;
  }
}

struct Normalised {
  std::string out, err, map;
  std::string Norm_coeff;  // hexfloat
  std::int32_t counted = 0;
};

// The program's normalisation step, or the reference's values printed by
// the same console lines.
Normalised normalise(const LoopCase& c, bool byReference) {
  test::TempDir dir;
  const std::string path = (dir.path() / "PDFbc.txt").string();
  std::FILE* map = std::fopen(path.c_str(), "w");
  std::ostringstream out, err;
  const model::Console console{out, err};
  model::ModelParameters p = physicsOf(c);
  p.ha = 100.0f;
  Normalised n;
  if (byReference) {
    const model::NormalisationValues v = reference::evaluateNormalisation(map, p, c.m, c.T_hyst, c.Ha_max);
    driver::printNormalisation(console, v);
    n.counted = v.rectangle.count;
    n.Norm_coeff = test::hex(v.Norm_coeff);
  } else {
    n.Norm_coeff = test::hex(test::normaliseDensity(console, map, p, c.m, c.T_hyst, c.Ha_max, 'y', &n.counted));
  }
  std::fclose(map);  // flushes the rows still buffered
  n.out = out.str();
  n.err = err.str();
  n.map = test::readFile(path);
  return n;
}

TEST(FastNormalisation, WritesTheSameLinesMapAndCoefficientAsTheReference) {
  Pick pick(5);
  for (int n = 0; n < 60; ++n) {
    LoopCase c{};
    c.shape = kShapes[n % 4];
    c.Tc = 600.0f;
    c.mu0 = pick({1e-15f, 3.45e-15f});
    c.Gamma = 0.5f;
    c.hc0_mean = pick({0.5f, 300.0f});
    c.Gamma_c = 1.5f;
    c.sigmac0 = pick({0.2f, 1.0f, 30.0f});
    c.Gamma_cprim = 1.0f;
    c.sigmai0 = pick({0.5f, 1.0f, 30.0f});
    c.Gamma_i = 1.0f;
    c.km = pick({0.0f, 5.0f});
    c.N = 1.0f;
    c.m = static_cast<std::int32_t>(pick({0.0f, 2.0f, 3.0f, 10.0f, 40.0f}));
    c.T_hyst = pick({0.0f, 300.0f, 620.0f});
    c.Ha_max = pick({1.0f, 3000.0f, -1.0f, 0.0f});
    const Normalised fast = normalise(c, false);
    const Normalised slow = normalise(c, true);
    ASSERT_EQ(fast.out, slow.out) << n;
    ASSERT_EQ(fast.err, slow.err) << n;
    ASSERT_EQ(fast.map, slow.map) << n;
    ASSERT_EQ(fast.Norm_coeff, slow.Norm_coeff) << n;
    ASSERT_EQ(fast.counted, slow.counted) << n;
  }
}

TEST(FastLoop, SumsTheNormalisationAndBothBranchesInOnePassAsTheReference) {
  Pick pick(41);
  for (int n = 0; n < 40; ++n) {
    parameters::ParameterSet p;
    p.PDF = kShapes[n % 4];
    p.Tc = 600.0f;
    p.mu0 = pick({1e-15f, 3.45e-15f});
    p.Gamma = 0.5f;
    p.hc0_mean = pick({0.5f, 30.0f, 300.0f});
    p.Gamma_c = 1.5f;
    p.sigmac0 = pick({0.2f, 1.0f, 30.0f, 1e4f});
    p.Gamma_cprim = 1.0f;
    p.sigmai0 = pick({0.5f, 1.0f, 30.0f, 1e4f});
    p.Gamma_i = 1.0f;
    p.km = pick({0.0f, 5.0f});
    // A negative amplitude makes the densities that underflow -0 in the map.
    p.N = pick({1.0f, 0.5f, -1.0f});
    p.m = static_cast<std::int32_t>(pick({2.0f, 3.0f, 10.0f, 25.0f}));
    p.T_hyst = pick({0.0f, 47.0f, 300.0f});
    p.Ha_max = pick({1.0f, 0.3f, 1000.0f, 3000.0f, 0.0f, -1.0f});
    p.ha = 100.0f;
    p.s = pick({0.0f, 50.0f});
    p.lambda = pick({300.0f, 2.0f});
    p.f = pick({0.0f, 0.1f, 1.0f});
    std::vector<float> down = driver::fieldSchedule(p.Ha_max, hysteresis::Branch::Descending);
    std::vector<float> up = driver::fieldSchedule(p.Ha_max, hysteresis::Branch::Ascending);
    if (n % 3 == 0) {
      // Fields off the schedule, as a fit asks for.
      down = {0.7f * p.Ha_max, p.Ha_max, -p.Ha_max, 0.0f};
      up = {0.0f, 0.2f * p.Ha_max};
    }
    test::TempDir dir;
    const auto run = [&](const driver::Evaluations::Loop loop, const std::string& name, unsigned threads) {
      const std::string path = (dir.path() / name).string();
      std::FILE* map = std::fopen(path.c_str(), "w");
      const driver::LoopRun values = loop(parameters::modelParameters(p), p.m, down, up, map, threads);
      std::fclose(map);
      return std::make_pair(values.values, test::readFile(path));
    };
    const auto slow = run(reference::referenceEvaluations().loop, "reference.txt", 1);
    for (unsigned threads : {1u, 2u}) {
      const auto fast = run(driver::fastEvaluations().loop, "fast.txt", threads);
      const model::NormalisationValues &a = fast.first.normalisation, &b = slow.first.normalisation;
      ASSERT_EQ(a.rectangle.count, b.rectangle.count) << n;
      ASSERT_EQ(test::hex(a.rectangle.sum), test::hex(b.rectangle.sum)) << n;
      ASSERT_EQ(test::hex(a.Norm_coeff), test::hex(b.Norm_coeff)) << n;
      ASSERT_EQ(fast.second, slow.second) << "map of case " << n;
      ASSERT_EQ(fast.first.descending.size(), down.size());
      ASSERT_EQ(fast.first.ascending.size(), up.size());
      for (std::size_t k = 0; k < down.size(); ++k)
        ASSERT_EQ(describe(fast.first.descending[k]), describe(slow.first.descending[k]))
            << n << " ha=" << down[k] << " " << parameters::formatParameterRecord(p);
      for (std::size_t k = 0; k < up.size(); ++k)
        ASSERT_EQ(describe(fast.first.ascending[k]), describe(slow.first.ascending[k])) << n << " ha=" << up[k];
    }
  }
}

}  // namespace
}  // namespace preisach
