// The core's rankings and CPU sampler over the real Linux services, with children that load
// the machine. These tests run one at a time (RUN_SERIAL): another test's load would compete.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/clock.h"
#include "linux_test_support.h"
#include "engine/cpu_sampler.h"
#include "engine/process_ranking.h"
#include "platform/linux/linux_system_info.h"
#include "platform/linux/proc_cpu_counters.h"
#include "platform/linux/proc_process_lister.h"

namespace tarnwick {
namespace {

using linuxtest::Child;
using linuxtest::ChildOptions;
using linuxtest::TempFolder;

struct Rig {
  SystemClock clock;
  LinuxSystemInfo system;
  ProcProcessLister lister;
  ProcessSampler sampler{lister, clock};
  ProcessRanking ranking{sampler, clock, system.ProcessorCount(), system.ExecutableSuffix()};
  RankingResults results;
};

TEST(LoadTest, BurnerIsTheTopCpuProcess) {
  TempFolder folder;
  const std::string name = "cpuhog" + std::to_string(getpid() % 100000);
  // At the highest priority the burner holds a whole processor even on a machine busy with
  // other work (a build beside the tests); a passing spike of some other process could still
  // lead one interval, so a few cycles are allowed, a second apart as the monitor takes them.
  Child burner(folder.CopyHog(name), {"burn", "120"}, ChildOptions::WithNice(-20));
  ASSERT_TRUE(burner.WaitReady());
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  Rig rig;
  bool led = false;
  for (long cycle = 1; cycle <= 8 && !led; ++cycle) {
    if (cycle > 1) std::this_thread::sleep_for(std::chrono::seconds(1));
    ASSERT_TRUE(rig.ranking.RankCpuProcesses(cycle, rig.results));
    led = rig.results.cpuTopName == name;
  }
  EXPECT_EQ(rig.results.cpuTopName, name);
  ASSERT_FALSE(rig.results.cpuTopList.empty());
  EXPECT_EQ(rig.results.cpuTopList.back().pid, burner.pid());
  // One processor of this machine's: 100 / processors percent, give or take.
  const double pct = std::strtod(rig.results.cpuTopPct.c_str(), nullptr);
  EXPECT_GT(pct, 50.0 / rig.system.ProcessorCount());
  EXPECT_LE(pct, 100.0);
}

TEST(LoadTest, LargeToucherIsTheTopMemoryProcess) {
  TempFolder folder;
  const std::string name = "memhog" + std::to_string(getpid() % 100000);
  Child toucher(folder.CopyHog(name), {"touch", "2560"});  // 2.5 GiB
  ASSERT_TRUE(toucher.WaitReady(std::chrono::seconds(60)));
  Rig rig;
  rig.ranking.RankMemoryProcesses(1, rig.results);
  EXPECT_EQ(rig.results.memTopName, name);
  // Above 2^31 bytes, in KB: a 32-bit working set would have wrapped.
  const long long kb = std::atoll(rig.results.memTopSize.c_str());
  EXPECT_GT(kb, (1LL << 31) / 1024);
  EXPECT_GE(kb, 2560LL * 1024);
  ASSERT_EQ(rig.results.memTopList.size(), 1u);
  EXPECT_EQ(rig.results.memTopList[0].pid, toucher.pid());
}

// busy = 1 - Δ(idle + iowait) / Δtotal of /proc/stat's cpu line, in percent, read here without
// the platform code.
struct StatReading {
  unsigned long long idle = 0;
  unsigned long long total = 0;
};

StatReading ReadProcStat() {
  std::ifstream in("/proc/stat");
  std::string line;
  std::getline(in, line);
  std::istringstream fields(line);
  std::string label;
  fields >> label;
  EXPECT_EQ(label, "cpu");
  unsigned long long v[8] = {};
  for (auto& f : v) fields >> f;  // user nice system idle iowait irq softirq steal
  StatReading r;
  r.idle = v[3] + v[4];
  for (auto f : v) r.total += f;
  return r;
}

TEST(LoadTest, CpuSamplerAgreesWithProcStat) {
  LinuxSystemInfo system;
  std::vector<std::unique_ptr<Child>> burners;
  for (int i = 0; i < system.ProcessorCount(); ++i) {
    burners.push_back(
        std::make_unique<Child>(linuxtest::HogPath(), std::vector<std::string>{"burn", "120"}));
    ASSERT_TRUE(burners.back()->WaitReady());
  }
  ProcCpuCounters counters;
  CpuSampler sampler(counters);
  for (int round = 0; round < 3; ++round) {
    sampler.Initialize();
    const StatReading before = ReadProcStat();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const int busy = sampler.Query();
    const StatReading after = ReadProcStat();
    ASSERT_GT(after.total, before.total);
    const double expected = 100.0 * (1.0 - static_cast<double>(after.idle - before.idle) /
                                               static_cast<double>(after.total - before.total));
    EXPECT_NEAR(busy, expected, 2.0) << "round " << round;
    EXPECT_GT(busy, 50);  // every processor has a burner
  }
}

}  // namespace
}  // namespace tarnwick
