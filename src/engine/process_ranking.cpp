#include "engine/process_ranking.h"

#include <algorithm>
#include <utility>

#include "common/numbers.h"
#include "common/text.h"

namespace tarnwick {

bool ProcessSampler::Take(Scan& scan, long cycle) {
  scan.snapshot.processes.clear();
  scan.valid = lister_.Snapshot(scan.snapshot);
  if (scan.valid) scan.snapshot.takenAtNs = clock_.MonotonicNs();
  scan.cycle = cycle;
  return scan.valid;
}

const ProcessSnapshot* ProcessSampler::Current(long cycle) {
  if (current_.cycle != cycle || !current_.valid) {
    if (current_.valid) std::swap(previous_, current_);
    if (!Take(current_, cycle)) return nullptr;
  }
  return &current_.snapshot;
}

const ProcessSnapshot* ProcessSampler::Taken(long cycle) const {
  return current_.cycle == cycle && current_.valid ? &current_.snapshot : nullptr;
}

void ProcessSampler::Reset() {
  current_ = Scan{};
  previous_ = Scan{};
}

bool ProcessSampler::CpuShares(long cycle, std::vector<double>& shares, bool secondScan) {
  if (Current(cycle) == nullptr) return false;
  if (!previous_.valid || previous_.cycle != cycle - 1) {
    if (!secondScan) return false;
    std::swap(previous_, current_);
    clock_.Sleep(std::chrono::milliseconds(kSecondScanPauseMs));
    if (!Take(current_, cycle)) return false;
    // The pair of scans now belongs to this cycle; the next cycle compares against current_.
    previous_.cycle = cycle - 1;
  }
  const auto& before = previous_.snapshot.processes;
  const auto& now = current_.snapshot.processes;
  // The earlier scan by pid, built in room kept from cycle to cycle: /proc lists by pid already,
  // another order (Windows') is sorted here.
  byPid_.clear();
  for (size_t i = 0; i < before.size(); ++i) byPid_.push_back({before[i].pid, i});
  if (!std::is_sorted(byPid_.begin(), byPid_.end())) std::sort(byPid_.begin(), byPid_.end());
  const double wallNs =
      static_cast<double>(current_.snapshot.takenAtNs - previous_.snapshot.takenAtNs);
  shares.assign(now.size(), 0.0);
  if (wallNs <= 0) return true;
  for (size_t i = 0; i < now.size(); ++i) {
    const ProcessInfo& p = now[i];
    uint64_t used = p.cpuTimeNs;  // a process started since the earlier scan: all of its time
    const auto hit =
        std::lower_bound(byPid_.begin(), byPid_.end(), std::pair<int, size_t>{p.pid, 0});
    if (hit != byPid_.end() && hit->first == p.pid &&
        before[hit->second].startTicks == p.startTicks) {
      const uint64_t earlier = before[hit->second].cpuTimeNs;
      used = p.cpuTimeNs >= earlier ? p.cpuTimeNs - earlier : 0;
    }
    shares[i] = static_cast<double>(used) * 100.0 / wallNs;
  }
  return true;
}

ProcessRanking::ProcessRanking(ProcessSampler& sampler, IClock& clock, int processorCount,
                               std::string executableSuffix)
    : sampler_(sampler),
      clock_(clock),
      processorCount_(processorCount > 0 ? processorCount : 1),
      suffix_(std::move(executableSuffix)) {}

TopSample ProcessRanking::Top(const ProcessInfo* process) const {
  if (process == nullptr) return {};
  return TopSample{process->name + suffix_, process->pid, process->startTicks, 0,
                   process->nameClaimed};
}

bool ProcessRanking::RankCpuProcesses(long cycle, RankingResults& results) {
  std::vector<double> shares;
  if (!sampler_.CpuShares(cycle, shares)) return false;
  const ProcessSnapshot* snapshot = sampler_.Current(cycle);
  double max = 0;
  const ProcessInfo* top = nullptr;
  for (size_t i = 0; i < snapshot->processes.size(); ++i) {
    // The system's idle time and its own work are no program's.
    if (snapshot->processes[i].pseudoProcess) continue;
    if (shares[i] > max) {
      max = shares[i];
      top = &snapshot->processes[i];
    }
  }
  const double share = RoundHalfEvenTo(max / processorCount_, 1);
  results.cpuTopList.push_back(Top(top));
  results.cpuTopList.back().share = share;
  results.cpuTopName = results.cpuTopList.back().name;
  results.cpuTopPct = ShortestForm(share);
  const std::string time = HhMmSs(clock_.Now());
  if (LeadingNumber(results.cpuTopPct) > LeadingNumber(results.cpuPeakPct)) {
    results.cpuPeakPct = results.cpuTopPct;
    results.cpuPeakName = results.cpuTopName;
    results.cpuPeakTime = time;
  }
  return true;
}

void ProcessRanking::RankMemoryProcesses(long cycle, RankingResults& results) {
  int64_t max = 0;
  const ProcessInfo* top = nullptr;
  const ProcessSnapshot* snapshot = sampler_.Current(cycle);
  if (snapshot != nullptr) {
    for (const ProcessInfo& p : snapshot->processes) {
      // Working sets are 64-bit: a process of 2 GiB or more can lead.
      const auto kb =
          static_cast<int64_t>(RoundHalfEven(static_cast<double>(p.workingSetBytes) / 1024.0));
      if (kb > max) {
        max = kb;
        top = &p;
      }
    }
  }
  results.memTopList.push_back(Top(top));
  results.memTopName = results.memTopList.back().name;
  results.memTopSize = IntText(max);
  results.memTopTime = HhMmSs(clock_.Now());
  if (LeadingNumber(results.memTopSize) > LeadingNumber(results.memPeakSize)) {
    results.memPeakSize = results.memTopSize;
    results.memPeakName = results.memTopName;
    results.memPeakTime = results.memTopTime;
  }
}

}  // namespace tarnwick
