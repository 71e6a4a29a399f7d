#include "engine/cpu_sampler.h"

#include <gtest/gtest.h>

#include "controls/gauge.h"
#include "support/fakes.h"

namespace tarnwick {
namespace {

TEST(CpuBusyPercent, FourDecimalRatioAndHalfUpWholePercent) {
  const struct {
    uint64_t idle;
    uint64_t total;
    uint32_t processors;
    int expected;
    const char* why;
  } cases[] = {
      // Two processors, 5 s elapsed each (10 s in all), 7 s idle: ratio 1.4, 30.5 rounds to 30.
      {700, 1000, 2, 30, "worked example"},
      {1000, 1000, 2, 0, "fully idle"},
      {0, 1000, 4, 100, "fully busy"},
      {0, 0, 4, 100, "no time elapsed"},
      {5, 0, 4, -25, "no time elapsed takes the idle difference as the ratio"},
      {251, 1000, 1, 75, "74.9 + 0.5 rounds down"},
      {245, 1000, 1, 76, "75.5 + 0.5 is 76"},
      // 1/3 idle on 3 processors: ratio 1.0 exactly, busy 66.6667 + 0.5.
      {1000, 3000, 3, 67, "thirds"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CpuBusyPercent(c.idle, c.total, c.processors), c.expected) << c.why;
  }
}

TEST(CpuSampler, MeasuresSincePreviousQueryAndReportsFailureAsMinusOne) {
  testing::FakeCpuCounters counters;
  counters.busy = {0, 93, -1, 40};
  CpuSampler sampler(counters);
  sampler.Initialize();
  EXPECT_EQ(sampler.Query(), 93);
  EXPECT_EQ(sampler.Query(), -1);
  // The failed read changed nothing: the next interval is measured from the last good reading.
  EXPECT_EQ(sampler.Query(), 40);
}

TEST(Gauge, RefusesValuesOutsideItsRangeAndKeepsThePreviousOne) {
  Gauge gauge;
  EXPECT_TRUE(gauge.Set(80));
  EXPECT_FALSE(gauge.Set(-1));
  EXPECT_FALSE(gauge.Set(101));
  EXPECT_EQ(gauge.Value(), 80);
  EXPECT_TRUE(gauge.Set(100));
  EXPECT_TRUE(gauge.Set(0));
  EXPECT_EQ(gauge.Value(), 0);
}

}  // namespace
}  // namespace tarnwick
