// The one thread pool: every index runs exactly once whatever the number of
// cores, each core keeps its own state, the results do not depend on the
// cores, and an exception in a task reaches the caller. The ordered variant
// of the driver hands the results over in index order.

#include "model/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/ordered_parallel.h"

namespace preisach::model {
namespace {

constexpr std::size_t kTasks = 1000;

// A value whose bits depend on every step of a sum, so that a task that
// ran twice, or on another task's scratch, shows.
double harmonicSum(std::size_t k, std::vector<double>& scratch) {
  scratch.assign(k % 37 + 1, 0.0);
  double sum = 0.0;
  for (std::size_t n = 0; n < scratch.size(); ++n) {
    scratch[n] = 1.0 / static_cast<double>(k + n + 1);
    sum += scratch[n];
  }
  return sum;
}

std::vector<double> sumsOn(unsigned cores) {
  std::vector<double> sums(kTasks, std::nan(""));
  forEachIndexWithState(
      kTasks, cores, [] { return std::vector<double>(); },
      [&](std::size_t k, std::vector<double>& scratch) { sums[k] = harmonicSum(k, scratch); });
  return sums;
}

TEST(Parallel, RunsEveryIndexExactlyOnce) {
  for (unsigned cores : {1u, 2u, 3u, 8u}) {
    std::vector<std::atomic<int>> runs(kTasks);
    forEachIndex(kTasks, cores, [&](std::size_t k) { ++runs[k]; });
    for (std::size_t k = 0; k < kTasks; ++k) ASSERT_EQ(runs[k].load(), 1) << "index " << k << " on " << cores;
  }
}

TEST(Parallel, GivesTheSameBitsOnOneAndOnTwoCores) {
  const std::vector<double> one = sumsOn(1), two = sumsOn(2);
  std::vector<double> scratch;
  for (std::size_t k = 0; k < kTasks; ++k) {
    // An independent evaluation of each sum, in the same order of additions.
    EXPECT_EQ(one[k], harmonicSum(k, scratch)) << "index " << k;
    EXPECT_EQ(two[k], one[k]) << "index " << k;
  }
}

TEST(Parallel, MakesOneStatePerCoreAtMost) {
  std::atomic<int> states{0};
  forEachIndexWithState(
      kTasks, 2,
      [&] {
        ++states;
        return 0;
      },
      [](std::size_t, int&) {});
  EXPECT_GE(states.load(), 1);
  EXPECT_LE(states.load(), 2);
}

TEST(Parallel, RunsNothingForNoIndex) {
  std::atomic<int> runs{0};
  forEachIndex(0, 2, [&](std::size_t) { ++runs; });
  EXPECT_EQ(runs.load(), 0);
}

TEST(Parallel, PassesAnExceptionOfATaskToTheCaller) {
  for (unsigned cores : {1u, 2u}) {
    try {
      forEachIndex(kTasks, cores, [](std::size_t k) {
        if (k == 17) throw std::runtime_error("task 17 failed");
      });
      ADD_FAILURE() << "no exception on " << cores << " cores";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "task 17 failed");
    }
  }
}

TEST(OrderedParallel, EmitsEveryResultOnceInIndexOrder) {
  for (unsigned cores : {1u, 2u, 3u}) {
    std::vector<std::size_t> order;
    std::vector<double> results;
    driver::computeInOrder<double>(
        cores, kTasks,
        [](std::size_t k) {
          std::vector<double> scratch;
          return harmonicSum(k, scratch);
        },
        [&](std::size_t k, double sum) {
          order.push_back(k);
          results.push_back(sum);
        });
    ASSERT_EQ(order.size(), kTasks);
    std::vector<double> scratch;
    for (std::size_t k = 0; k < kTasks; ++k) {
      ASSERT_EQ(order[k], k) << "on " << cores << " cores";
      ASSERT_EQ(results[k], harmonicSum(k, scratch)) << "index " << k;
    }
  }
}

TEST(OrderedParallel, PassesAFailureOfComputeOrEmitToTheCaller) {
  const auto failingCompute = [](std::size_t k) -> int {
    if (k == 50) throw std::runtime_error("compute failed");
    return 0;
  };
  EXPECT_THROW(driver::computeInOrder<int>(2, kTasks, failingCompute, [](std::size_t, int) {}), std::runtime_error);
  const auto failingEmit = [](std::size_t k, int) {
    if (k == 50) throw std::runtime_error("emit failed");
  };
  EXPECT_THROW(driver::computeInOrder<int>(
                   2, kTasks, [](std::size_t) { return 0; }, failingEmit),
               std::runtime_error);
}

}  // namespace
}  // namespace preisach::model
