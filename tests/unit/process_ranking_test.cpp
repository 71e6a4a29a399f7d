#include "engine/process_ranking.h"

#include <gtest/gtest.h>

#include "support/fakes.h"

namespace tarnwick {
namespace {

using testing::FakeClock;
using testing::FakeProcessLister;

constexpr uint64_t kMiB = 1024 * 1024;

// "name@pid" of every sample, blank-separated.
std::string Samples(const TopHistory& history) {
  std::string out;
  for (const TopSample& s : history) {
    if (!out.empty()) out += ' ';
    out += s.name + "@" + std::to_string(s.pid);
  }
  return out;
}

class RankingTest : public ::testing::Test {
 protected:
  FakeClock clock;
  FakeProcessLister lister{clock};
  ProcessSampler sampler{lister, clock};
  ProcessRanking ranking{sampler, clock, 4, ".exe"};
  RankingResults results;
};

TEST_F(RankingTest, TopCpuIsTheFirstOfEqualSharesAndSkipsThePseudoProcesses) {
  // Windows' Idle and System, marked by their lister: the busiest, yet no program.
  lister.Add(0, "Idle", 390, 0);
  lister.Add(4, "System", 300, 0);
  for (auto& p : lister.procs) p.info.pseudoProcess = true;
  lister.Add(8, "firefox", 150, 0);
  lister.Add(9, "chrome", 150, 0);
  ASSERT_TRUE(ranking.RankCpuProcesses(1, results));
  EXPECT_EQ(results.cpuTopName, "firefox.exe");
  // 150% of one processor on 4 processors.
  EXPECT_EQ(results.cpuTopPct, "37.5");
  EXPECT_EQ(Samples(results.cpuTopList), "firefox.exe@8");
  EXPECT_EQ(results.cpuTopList[0].startTicks, 8u);
  EXPECT_EQ(results.cpuPeakName, "firefox.exe");
  EXPECT_EQ(results.cpuPeakTime, "10:15:07");
}

// A name is no reason to pass over a process: programs may call themselves what the system's
// pseudo processes are called.
TEST_F(RankingTest, ProcessesNamedLikeThePseudoProcessesAreRanked) {
  long cycle = 0;
  for (const char* name : {"Idle", "System", "_Total"}) {
    lister.procs.clear();
    lister.Add(20 + static_cast<int>(cycle), name, 80, 0);
    lister.Add(30 + static_cast<int>(cycle), "bystander", 40, 0);
    results.cpuTopList.clear();
    clock.Advance(5);
    ASSERT_TRUE(ranking.RankCpuProcesses(++cycle, results));
    EXPECT_EQ(Samples(results.cpuTopList),
              std::string(name) + ".exe@" + std::to_string(19 + cycle));
  }
}

TEST_F(RankingTest, NamesAreTakenWhole) {
  long cycle = 0;
  for (const char* name : {"victim#zzz", "victim,zzz", "a(1)*"}) {
    lister.procs.clear();
    lister.Add(7 + static_cast<int>(cycle), name, 80, 0);
    results.cpuTopList.clear();
    clock.Advance(5);
    ASSERT_TRUE(ranking.RankCpuProcesses(++cycle, results));
    EXPECT_EQ(results.cpuTopName, std::string(name) + ".exe");
    EXPECT_EQ(Samples(results.cpuTopList), std::string(name) + ".exe@" + std::to_string(6 + cycle));
  }
}

TEST_F(RankingTest, NoBusyProcessAppendsAnEmptyNameAndKeepsAnEarlierPeak) {
  lister.Add(4, "firefox", 40, 0);
  ASSERT_TRUE(ranking.RankCpuProcesses(1, results));
  results.cpuPeakPct = "0";
  lister.procs[0].sharePct = 0;
  clock.Advance(5);
  ASSERT_TRUE(ranking.RankCpuProcesses(2, results));
  EXPECT_EQ(results.cpuTopName, "");
  EXPECT_EQ(results.cpuTopPct, "0");
  EXPECT_EQ(Samples(results.cpuTopList), "firefox.exe@4 @0");
  // A top reading of 0 is not above the peak "0": the earlier name and time stay.
  EXPECT_EQ(results.cpuPeakName, "firefox.exe");
  EXPECT_EQ(results.cpuPeakPct, "0");
}

TEST_F(RankingTest, PeakFollowsOnlyAStrictlyHigherReading) {
  lister.Add(4, "a", 100, 0);
  lister.Add(5, "b", 0, 0);
  ASSERT_TRUE(ranking.RankCpuProcesses(1, results));
  clock.Advance(5);
  lister.procs[0].sharePct = 0;
  lister.procs[1].sharePct = 100;
  ASSERT_TRUE(ranking.RankCpuProcesses(2, results));
  EXPECT_EQ(results.cpuTopName, "b.exe");
  EXPECT_EQ(results.cpuPeakName, "a.exe");
  EXPECT_EQ(results.cpuPeakTime, "10:15:07");
  EXPECT_EQ(Samples(results.cpuTopList), "a.exe@4 b.exe@5");
}

TEST_F(RankingTest, CpuShareIsMeasuredOverARecentIntervalNotSinceStart) {
  // The process burned a lot before; now it is idle while another one works.
  lister.Add(4, "oldhog", 0, 0);
  lister.procs[0].info.cpuTimeNs = 3600ull * 1'000'000'000;
  lister.Add(5, "worker", 50, 0);
  ASSERT_TRUE(ranking.RankCpuProcesses(1, results));
  EXPECT_EQ(results.cpuTopName, "worker.exe");
  EXPECT_EQ(results.cpuTopPct, "12.5");
}

TEST_F(RankingTest, ASecondScanIsTakenOnlyWithoutAScanOfThePreviousCycle) {
  lister.Add(4, "a", 100, 0);
  ASSERT_TRUE(ranking.RankCpuProcesses(1, results));
  EXPECT_EQ(lister.scans, 2);
  EXPECT_EQ(clock.sleptMs, std::vector<long long>{ProcessSampler::kSecondScanPauseMs});
  clock.Advance(5);
  ASSERT_TRUE(ranking.RankCpuProcesses(2, results));
  ranking.RankMemoryProcesses(2, results);
  EXPECT_EQ(lister.scans, 3) << "the previous cycle's scan serves, memory shares the new one";
  EXPECT_EQ(clock.sleptMs.size(), 1u);
  clock.Advance(10);
  ASSERT_TRUE(ranking.RankCpuProcesses(4, results));
  EXPECT_EQ(lister.scans, 5) << "a gap of a cycle needs a fresh pair of scans";
}

TEST_F(RankingTest, AfterAResetTheShareIsNotMeasuredOverThePause) {
  lister.Add(4, "pausehog", 0, 0);
  lister.Add(5, "nowhog", 0, 0);
  ASSERT_TRUE(ranking.RankCpuProcesses(1, results));
  // An hour's pause in which pausehog burned four processors; now only nowhog works.
  clock.Advance(3600);
  lister.procs[0].info.cpuTimeNs += 4 * 3600ull * 1'000'000'000;
  lister.procs[1].sharePct = 50;

  sampler.Reset();
  ASSERT_TRUE(ranking.RankCpuProcesses(2, results));
  EXPECT_EQ(results.cpuTopName, "nowhog.exe");
  EXPECT_EQ(results.cpuTopPct, "12.5");
}

TEST_F(RankingTest, FailedCpuScanKeepsThePreviousResults) {
  lister.Add(4, "a", 100, 0);
  ASSERT_TRUE(ranking.RankCpuProcesses(1, results));
  lister.fail = true;
  clock.Advance(5);
  EXPECT_FALSE(ranking.RankCpuProcesses(2, results));
  EXPECT_EQ(results.cpuTopName, "a.exe");
  EXPECT_EQ(Samples(results.cpuTopList), "a.exe@4");
}

TEST_F(RankingTest, MemoryTopIsTheLargestWorkingSetEvenBeyondTwoGiB) {
  lister.Add(4, "small", 0, 100 * kMiB);
  lister.Add(5, "huge", 0, 2560 * kMiB);
  lister.Add(6, "same", 0, 2560 * kMiB);
  ranking.RankMemoryProcesses(1, results);
  EXPECT_EQ(results.memTopName, "huge.exe");
  EXPECT_EQ(results.memTopSize, "2621440");
  EXPECT_EQ(results.memPeakName, "huge.exe");
  EXPECT_EQ(results.memPeakSize, "2621440");
  EXPECT_EQ(Samples(results.memTopList), "huge.exe@5");
  ranking.RankMemoryProcesses(1, results);
  ranking.RankMemoryProcesses(1, results);
  EXPECT_EQ(Samples(results.memTopList), "huge.exe@5 huge.exe@5 huge.exe@5");
}

TEST_F(RankingTest, MemoryRoundsKilobytesHalfEven) {
  lister.Add(4, "p", 0, 1536);  // 1.5 KB rounds to 2
  ranking.RankMemoryProcesses(1, results);
  EXPECT_EQ(results.memTopSize, "2");
  lister.procs[0].info.workingSetBytes = 2560;  // 2.5 KB rounds to 2
  ranking.RankMemoryProcesses(2, results);
  EXPECT_EQ(results.memTopSize, "2");
}

TEST_F(RankingTest, UnreadableProcessesGiveAnEmptyMemoryTop) {
  lister.fail = true;
  ranking.RankMemoryProcesses(1, results);
  EXPECT_EQ(results.memTopName, "");
  EXPECT_EQ(results.memTopSize, "0");
  EXPECT_EQ(Samples(results.memTopList), "@0");
}

}  // namespace
}  // namespace tarnwick
