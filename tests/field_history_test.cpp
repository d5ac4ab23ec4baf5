// The history engine: the loop's own field sequence gives the loop's points
// bit for bit, closed minor loops return to the moment they left, the
// reversed nodes of any history are those a node-by-node simulation of
// every node's switching finds, and the staircase's area is exact.

#include "history/field_history.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "driver/hysteresis_loop.h"
#include "model/grid.h"
#include "model/scaling.h"
#include "reference/density_reference.h"
#include "support/parameter_records.h"
#include "test_support.h"

namespace preisach::history {
namespace {

using parameters::ParameterSet;

// Shape G with a shifted interaction centre, a coarse grid (fields fall on
// node boundaries) and a reversible part.
constexpr char kRecord[] = "600 1e-15 0.5 300 1.5 60 1 100 1 20 1 G 40 0.01 n 100 300 y 300 1000 50 300 0.1 n";

TEST(FieldHistory, FollowsTheLoopBitForBitOnItsOwnFields) {
  for (const char* Ha_max : {"1000", "3000"}) {
    for (const char* shape : {"G", "L", "M", "N"}) {
      ParameterSet p = support::parametersFrom(kRecord);
      p.Ha_max = std::stof(Ha_max);
      p.PDF = static_cast<model::DensityShape>(shape[0]);
      FieldHistory sample(parameters::modelParameters(p), p.m);
      const hysteresis::HysteresisBranch down(parameters::modelParameters(p), p.m, hysteresis::Branch::Descending);
      const hysteresis::HysteresisBranch up(parameters::modelParameters(p), p.m, hysteresis::Branch::Ascending);
      for (hysteresis::Branch b : {hysteresis::Branch::Descending, hysteresis::Branch::Ascending})
        for (float field : driver::fieldSchedule(p.Ha_max, b)) {
          const hysteresis::HysteresisPointValues loop =
              (b == hysteresis::Branch::Descending ? down : up).evaluate(field, sample.Norm_coeff());
          const hysteresis::HysteresisPointValues v = sample.apply(field);
          ASSERT_EQ(test::hex(v.M), test::hex(loop.M)) << Ha_max << " " << shape << " at " << field;
          ASSERT_EQ(v.irreversibleColumn, loop.irreversibleColumn);
          ASSERT_EQ(v.reversibleColumn, loop.reversibleColumn);
        }
    }
  }
}

TEST(FieldHistory, ReturnsToTheMomentItLeftAfterAClosedMinorLoop) {
  const ParameterSet p = support::parametersFrom(kRecord);
  std::mt19937 random(5);
  std::uniform_real_distribution<float> field(-1000.0f, 1000.0f), share(0.1f, 0.9f);
  int loops = 0;
  for (int trial = 0; trial < 60; ++trial) {
    FieldHistory sample(parameters::modelParameters(p), p.m);
    for (int k = 0; k < 1 + trial % 6; ++k) sample.apply(field(random));
    const std::vector<float> path = sample.turningPoints();
    if (path.size() < 2) continue;
    // A minor loop from the present field towards the turning point it came
    // from, without reaching it, and back; inside it a smaller one.
    const float start = path.back(), previous = path[path.size() - 2];
    const double before = sample.apply(start).M;
    const float turn = start + share(random) * (previous - start);
    const float inner = start + share(random) * (turn - start);
    for (float f : {turn, inner, turn}) sample.apply(f);
    const double after = sample.apply(start).M;
    EXPECT_EQ(test::hex(after), test::hex(before)) << "trial " << trial;
    EXPECT_EQ(sample.turningPoints(), path) << "trial " << trial;
    ++loops;
  }
  EXPECT_GT(loops, 40);
}

TEST(FieldHistory, SumsAWholeHistoryInSweepsAsItSumsItFieldByField) {
  const ParameterSet p = support::parametersFrom(kRecord);
  std::mt19937 random(11);
  std::uniform_real_distribution<float> field(-1000.0f, 1000.0f);
  for (int trial = 0; trial < 20; ++trial) {
    // Moves, reversals, repeats and saturations at either end in between.
    std::vector<float> fields;
    for (int k = 0; k < 12; ++k) {
      const int kind = static_cast<int>(random() % 8);
      fields.push_back(kind == 0                      ? 1000.0f
                       : kind == 1                    ? -1000.0f
                       : kind == 2 && !fields.empty() ? fields.back()
                                                      : field(random));
    }
    FieldHistory together(parameters::modelParameters(p), p.m), oneByOne(parameters::modelParameters(p), p.m);
    const std::vector<hysteresis::HysteresisPointValues> all = together.applyAll(fields);
    ASSERT_EQ(all.size(), fields.size());
    for (std::size_t k = 0; k < fields.size(); ++k) {
      const hysteresis::HysteresisPointValues v = oneByOne.apply(fields[k]);
      EXPECT_EQ(all[k].k2, v.k2) << "trial " << trial << " field " << k;
      EXPECT_EQ(test::hex(all[k].sum2), test::hex(v.sum2)) << "trial " << trial << " field " << k;
      EXPECT_EQ(test::hex(all[k].M), test::hex(v.M)) << "trial " << trial << " field " << k;
      EXPECT_EQ(static_cast<int>(all[k].branch), static_cast<int>(v.branch));
    }
    EXPECT_EQ(together.turningPoints(), oneByOne.turningPoints());
  }
}

TEST(FieldHistory, WipesOutItsMemoryAtSaturation) {
  const ParameterSet p = support::parametersFrom(kRecord);
  FieldHistory a(parameters::modelParameters(p), p.m), b(parameters::modelParameters(p), p.m);
  for (float f : {-300.0f, 200.0f, -100.0f, 1000.0f, -400.0f}) a.apply(f);
  EXPECT_EQ(a.turningPoints(), (std::vector<float>{1000.0f, -400.0f}));
  EXPECT_EQ(test::hex(a.apply(-250.0f).M), test::hex((b.apply(-400.0f), b.apply(-250.0f)).M));
  a.apply(-1000.0f);
  EXPECT_EQ(a.turningPoints(), (std::vector<float>{-1000.0f}));
}

// The nodes of the triangle each followed through every field: down when
// the field falls below its down-switching field, up when it rises above
// its up-switching field; those reversed since the last saturation summed
// node by node in grid order with the straightforward density.
struct Reversed {
  std::int32_t count = 0;
  double sum = 0.0;
};

Reversed simulateNodes(const ParameterSet& p, const std::vector<float>& fields) {
  using Extended = long double;
  const float H = p.Ha_max;
  const model::GridAxis hcAxis = model::makeGridAxis(0.0, H, p.m, p.sigmac0);
  const model::GridAxis hiAxis = model::makeGridAxis(-static_cast<double>(H), H, p.m, p.sigmai0);
  const Extended mu = model::scaledParameter(p.T_hyst, p.Tc, p.mu0, p.Gamma);
  std::vector<int> state(static_cast<std::size_t>(hcAxis.nodeCount() * hiAxis.nodeCount()), 1);
  int saturation = 1;
  for (float field : fields) {
    const Extended h = field;
    for (std::int32_t i = 0; i < hcAxis.nodeCount(); ++i)
      for (std::int32_t j = 0; j < hiAxis.nodeCount(); ++j) {
        const Extended hc = hcAxis.coordinate(i), hi = hiAxis.coordinate(j);
        int& s = state[static_cast<std::size_t>(i * hiAxis.nodeCount() + j)];
        if (-hc - h > hi) s = -1;  // below the down-switching field
        if (hc - h < hi) s = 1;    // above the up-switching field
      }
    if (field == H || field == -H) saturation = field == H ? 1 : -1;
  }
  Reversed r;
  for (std::int32_t i = 0; i < hcAxis.nodeCount(); ++i) {
    const double hc = hcAxis.coordinate(i);
    if (!(hc > 0.0 && hc < static_cast<double>(H))) continue;
    for (std::int32_t j = 0; j < hiAxis.nodeCount(); ++j) {
      const double hi = hiAxis.coordinate(j);
      const Extended e = hi;
      if (!(static_cast<Extended>(hc) - static_cast<Extended>(H) < e &&
            e < static_cast<Extended>(H) - static_cast<Extended>(hc)))
        continue;
      if (state[static_cast<std::size_t>(i * hiAxis.nodeCount() + j)] == saturation) continue;
      const Extended rho =
          reference::preisachDensity(reference::densityOf(p, p.T_hyst), static_cast<float>(hc), static_cast<float>(hi));
      ++r.count;
      r.sum = static_cast<double>(rho * mu + static_cast<Extended>(r.sum));
    }
  }
  return r;
}

TEST(FieldHistory, ReversesTheNodesANodeByNodeSimulationReverses) {
  ParameterSet p = support::parametersFrom(kRecord);
  std::mt19937 random(9);
  // Fields on a lattice of the grid's step hit node boundaries often.
  std::uniform_int_distribution<int> lattice(-40, 40);
  for (int trial = 0; trial < 30; ++trial) {
    std::vector<float> fields;
    for (int k = 0; k < 2 + trial % 7; ++k) fields.push_back(25.0f * static_cast<float>(lattice(random)));
    FieldHistory sample(parameters::modelParameters(p), p.m);
    hysteresis::HysteresisPointValues v;
    for (float f : fields) v = sample.apply(f);
    if (sample.turningPoints().size() < 3) continue;  // the loop's branches have tests of their own
    const Reversed expected = simulateNodes(p, fields);
    EXPECT_EQ(v.k2, expected.count) << "trial " << trial;
    EXPECT_EQ(test::hex(v.sum2), test::hex(expected.sum)) << "trial " << trial;
  }
}

TEST(StaircaseArea, IsTheAreaOfTheReversedNodesInThePlane) {
  const float H = 1000.0f;
  // One move down to f: the loop's (H - f)^2 / 4.
  EXPECT_EQ(staircaseArea({H, 200.0f}, H), 800.0L * 800.0L / 4.0L);
  // Counted on a fine lattice of the (hc, hi) plane: down after 1000 ->
  // -600 -> 400 -> -200 -> 100.
  const std::vector<float> path{H, -600.0f, 400.0f, -200.0f, 100.0f};
  double counted = 0.0;
  constexpr int kCells = 1000;
  const double cell = static_cast<double>(H) / kCells;
  for (int i = 0; i < kCells; ++i)
    for (int j = -kCells; j < kCells; ++j) {
      const double hc = (i + 0.5) * cell, hi = (j + 0.5) * cell;
      const double u = hc - hi, d = -hc - hi;
      if (!(d > -static_cast<double>(H) && u < static_cast<double>(H))) continue;
      const bool down = (d > -600 && u >= 400) || (d > -200 && u >= 100);
      counted += down ? cell * cell : 0.0;
    }
  // Cells cut by a boundary count whole or not at all: about one row of a
  // thousand cells.
  constexpr double kCellQuadrature = 1e-3;
  EXPECT_NEAR(static_cast<double>(staircaseArea(path, H)), counted, kCellQuadrature * counted);
}

}  // namespace
}  // namespace preisach::history
