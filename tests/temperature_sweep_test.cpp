#include "driver/temperature_sweep.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace preisach::driver
