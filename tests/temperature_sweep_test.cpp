#include "driver/temperature_sweep.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace preisach::driver {
namespace {

TEST(TemperatureSchedule, VisitsTheLowRangeWhateverTMaxIs) {
  const auto at300 = temperatureSchedule(300.0f);
  ASSERT_EQ(at300.size(), 39u);
  for (std::size_t k = 0; k < 19; ++k) EXPECT_EQ(at300[k], 5.0f * static_cast<float>(k + 1));
  EXPECT_EQ(at300[19], 110.0f);
  EXPECT_EQ(at300.back(), 300.0f);
  EXPECT_EQ(temperatureSchedule(105.0f).size(), 19u);
  EXPECT_EQ(temperatureSchedule(50.0f).size(), 19u);
  EXPECT_EQ(temperatureSchedule(-1.0f).size(), 19u);
  const auto at115 = temperatureSchedule(115.0f);
  ASSERT_EQ(at115.size(), 20u);
  EXPECT_EQ(at115.back(), 110.0f);
  EXPECT_EQ(temperatureSchedule(590.0f).back(), 590.0f);
}

TEST(TemperatureSchedule, EndsWhereTenKelvinNoLongerAddToAFloat) {
  // Above 2^28 K a float32 T + 10 rounds back to T.
  const auto huge = temperatureSchedule(1e30f);
  EXPECT_LT(huge.size(), 30000000u);
  EXPECT_EQ(huge.back() + 10.0f, huge.back());
}

TEST(TemperatureCount, CountsTheScheduleAndStopsPastItsLimit) {
  EXPECT_EQ(temperatureCount(300.0f, kMostTemperatures), 39u);
  EXPECT_EQ(temperatureCount(50.0f, kMostTemperatures), 19u);
  // 19 low temperatures and 110 + 10k up to T_max.
  EXPECT_EQ(temperatureCount(110.0f + 10.0f * 99980.0f, kMostTemperatures), 19u + 99981u);
  EXPECT_EQ(temperatureCount(3e8f, kMostTemperatures), kMostTemperatures + 1);
}

TEST(SweepGroups, ShareTheTemperaturesEvenlyInOrder) {
  for (std::size_t count : {1u, 2u, 19u, 39u, 68u, 100u})
    for (std::size_t most : {1u, 4u, 8u})
      for (unsigned cores : {1u, 2u, 3u}) {
        const std::vector<std::size_t> firsts = sweepGroups(count, most, cores);
        ASSERT_GE(firsts.size(), 2u);
        EXPECT_EQ(firsts.front(), 0u);
        EXPECT_EQ(firsts.back(), count);
        std::size_t smallest = count, largest = 0;
        for (std::size_t k = 0; k + 1 < firsts.size(); ++k) {
          smallest = std::min(smallest, firsts[k + 1] - firsts[k]);
          largest = std::max(largest, firsts[k + 1] - firsts[k]);
        }
        EXPECT_GE(smallest, 1u) << count << " " << most << " " << cores;
        EXPECT_LE(largest, most) << count << " " << most << " " << cores;
        EXPECT_LE(largest - smallest, 1u) << count << " " << most << " " << cores;
      }
}

TEST(SweepGroups, GiveEveryCoreAsManySweeps) {
  // The schedules of T_max = 95, 300 and 590 K, at most 8 per sweep.
  EXPECT_EQ(sweepGroups(19, 8, 2).size() - 1, 4u);
  EXPECT_EQ(sweepGroups(39, 8, 2).size() - 1, 6u);
  EXPECT_EQ(sweepGroups(68, 8, 2).size() - 1, 10u);
  EXPECT_EQ(sweepGroups(68, 8, 4).size() - 1, 12u);
  EXPECT_EQ(sweepGroups(68, 8, 1).size() - 1, 9u);
}

}  // namespace
}  // namespace preisach::driver
