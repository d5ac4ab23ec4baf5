#include "model/scaling.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/thermal.h"
#include "test_support.h"

namespace preisach::model {
namespace {

TEST(ScaledParameter, IsTheZeroTemperatureValueAtZeroKelvin) {
  EXPECT_EQ(scaledParameter(0.0f, 300.0f, 1.2345f, 0.7f), 1.2345f);
  EXPECT_EQ(scaledParameter(0.0f, 300.0f, -3.5e-15f, 2.5f), -3.5e-15f);
}

TEST(ScaledParameter, WithExponentZeroIsConstantBelowTc) {
  for (float T : {1.0f, 47.0f, 150.0f, 299.0f}) EXPECT_EQ(scaledParameter(T, 300.0f, 42.5f, 0.0f), 42.5f) << T;
}

TEST(ScaledParameter, FollowsThePowerLawOfTheReducedTemperature) {
  // 2 * (1 - 150/300)^0.5 = sqrt(2); 30 * (1 - 75/300)^1 = 22.5 exactly.
  EXPECT_FLOAT_EQ(scaledParameter(150.0f, 300.0f, 2.0f, 0.5f), static_cast<float>(std::sqrt(2.0)));
  EXPECT_EQ(scaledParameter(75.0f, 300.0f, 30.0f, 1.0f), 22.5f);
}

TEST(ScaledParameter, VanishesAtTcAndIsUndefinedAboveItForNonIntegerExponents) {
  EXPECT_EQ(scaledParameter(300.0f, 300.0f, 5.0f, 1.5f), 0.0f);
  EXPECT_TRUE(std::isnan(scaledParameter(400.0f, 300.0f, 5.0f, 1.5f)));
  // An integer exponent still has a real value above Tc: (1 - 4/3)^2 = 1/9.
  EXPECT_FLOAT_EQ(scaledParameter(400.0f, 300.0f, 9.0f, 2.0f), 1.0f);
}

TEST(ReversibleMoment, UsesTheExtendedReciprocalOfBoltzmannsConstant) {
  EXPECT_EQ(kInverseBoltzmann, 7246376811594202.9462890625L);
}

TEST(ReversibleMoment, MatchesMuTanhOneInTheWorkedExample) {
  // mu(50 K) = 1.38e-14 * (1 - 50/100) = 6.9e-15, and (0.6 + 0.4) * mu / (kB T) = 1.
  const float mu = scaledParameter(50.0f, 100.0f, 1.38e-14f, 1.0f);
  EXPECT_FLOAT_EQ(mu, 6.9e-15f);
  const float r = reversibleMoment(50.0f, 100.0f, 1.38e-14f, 1.0f, 0.6f, 0.4f);
  constexpr double kFourDigits = 0.0005e-15;  // the worked example gives the moment to four digits
  EXPECT_NEAR(static_cast<double>(r), 5.255e-15, kFourDigits);
  EXPECT_FLOAT_EQ(r, static_cast<float>(6.9e-15 * std::tanh(1.0)));
}

TEST(ReversibleMoment, IsOddInTheLocalFieldAndZeroWithoutIt) {
  EXPECT_EQ(reversibleMoment(20.0f, 300.0f, 1e-15f, 0.5f, 100.0f, -100.0f), 0.0f);
  for (float h : {0.25f, 3.0f, 170.0f}) {
    const float up = reversibleMoment(20.0f, 300.0f, 1e-15f, 0.5f, h, 0.5f);
    const float down = reversibleMoment(20.0f, 300.0f, 1e-15f, 0.5f, -h, -0.5f);
    EXPECT_GT(up, 0.0f);
    EXPECT_EQ(down, -up) << h;
  }
}

TEST(ReversibleMoment, SaturatesAtMuWhenTheZeemanEnergyDominates) {
  const float mu = scaledParameter(5.0f, 300.0f, 1e-15f, 0.5f);
  EXPECT_EQ(reversibleMoment(5.0f, 300.0f, 1e-15f, 0.5f, 3000.0f, 2000.0f), mu);
  EXPECT_EQ(reversibleMoment(5.0f, 300.0f, 1e-15f, 0.5f, -3000.0f, -2000.0f), -mu);
}

TEST(ThermalField, IsTwentyFiveKTOverMu0) {
  // 25 * 1.38e-16 / 3.45e-15 = 1 oersted per kelvin.
  // mu0 = 3.45e-15 and 1.38e-16 are not exact binary values: a few parts in 1e8.
  constexpr double kConstantsRounding = 1e-7;
  EXPECT_NEAR(static_cast<double>(thermalField(47.0f, 3.45e-15f)) / 47.0, 1.0, kConstantsRounding);
  EXPECT_NEAR(thermalFieldAt5K(3.45e-15f) / 5.0, 1.0, kConstantsRounding);
  // At 5 K and mu0 = 1e-15 the sweep prints 17.25.
  EXPECT_EQ(static_cast<float>(thermalField(5.0f, 1e-15f)), 17.25f)
      << test::hex(static_cast<float>(thermalField(5.0f, 1e-15f)));
}

}  // namespace
}  // namespace preisach::model
