// Which process leads the machine's CPU or memory use at an exceeding sample.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/clock.h"
#include "platform/process_list.h"
#include "results/cycle_scan.h"
#include "results/top_sample.h"

namespace tarnwick {

// Results of the rankings, read by the monitor cycle and the termination.
struct RankingResults {
  std::string cpuTopName;   // name of the top CPU process of the latest ranking, with the suffix
  std::string cpuTopPct;    // its share of the whole machine, one decimal, shortest form
  std::string cpuPeakName;  // highest cpuTopPct since cpuPeakPct was last set to "0"
  std::string cpuPeakPct = "0";
  std::string cpuPeakTime;  // "hh:mm:ss"
  TopHistory cpuTopList;    // the top process of every ranking since the cycle emptied it
  std::string memTopName;
  std::string memTopSize;  // working set in KB, whole number (the cycle rewrites it in MB)
  std::string memTopTime;
  std::string memPeakName;
  std::string memPeakSize = "0";  // KB
  std::string memPeakTime;
  TopHistory memTopList;
};

// Process snapshots for the rankings: at most one new scan per monitor cycle, and the CPU share
// of each process measured over a recent interval, never since the process started.
class ProcessSampler final : public ICycleScan {
 public:
  // Pause between two scans when no scan of the previous cycle is at hand.
  static constexpr int kSecondScanPauseMs = 250;

  ProcessSampler(IProcessLister& lister, IClock& clock) : lister_(lister), clock_(clock) {}

  // The scan of cycle `cycle` (taken on the first call in that cycle); nullptr when the process
  // table cannot be read.
  const ProcessSnapshot* Current(long cycle) override;
  // The scan of cycle `cycle` when one was taken in it; never takes one.
  const ProcessSnapshot* Taken(long cycle) const;

  // Share of one processor in percent for every process of the current scan (same order), over
  // the interval since the scan of the previous cycle, or over a short second scan when there is
  // none. False when a scan fails, or, with `secondScan` false, when no scan of the previous
  // cycle is at hand.
  bool CpuShares(long cycle, std::vector<double>& shares, bool secondScan = true) override;

  // Forgets the scans: after a pause (monitoring switched off and on) the next share is measured
  // afresh, not over the pause.
  void Reset();

 private:
  struct Scan {
    ProcessSnapshot snapshot;
    long cycle = -1;
    bool valid = false;
  };
  bool Take(Scan& scan, long cycle);

  IProcessLister& lister_;
  IClock& clock_;
  Scan current_;
  Scan previous_;
  std::vector<std::pair<int, size_t>> byPid_;  // pid, index into previous_; sorted
};

class ProcessRanking {
 public:
  // `processorCount` divides a share of one processor into a share of the machine;
  // `executableSuffix` is appended to names ("" on Linux, ".exe" on Windows).
  ProcessRanking(ProcessSampler& sampler, IClock& clock, int processorCount,
                 std::string executableSuffix);

  // Finds the process with the highest CPU share (the first of equal ones; pseudo processes
  // aside, whatever any process is called), appends it with its pid and start time to
  // cpuTopList and keeps the peak. False when the processes could not be
  // read; the results then keep their previous values.
  bool RankCpuProcesses(long cycle, RankingResults& results);

  // Finds the process with the largest working set and appends it to memTopList.
  void RankMemoryProcesses(long cycle, RankingResults& results);

 private:
  // The top sample of a ranking; empty when no process led.
  TopSample Top(const ProcessInfo* process) const;

  ProcessSampler& sampler_;
  IClock& clock_;
  int processorCount_;
  std::string suffix_;
};

}  // namespace tarnwick
