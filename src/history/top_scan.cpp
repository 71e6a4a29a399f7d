#include "history/top_scan.h"

#include <algorithm>
#include <utility>

namespace tarnwick {
namespace {

using Candidate = ProcessTopScan::Candidate;

void TakeTop(std::vector<Candidate>& candidates, int count, TopKind kind,
             const ProcessSnapshot& scan, const std::string& suffix, std::vector<TopEntry>& out) {
  const size_t n = std::min(candidates.size(), static_cast<size_t>(std::max(count, 0)));
  // Equal shares keep the scan's order, as the rankings do.
  std::partial_sort(candidates.begin(), candidates.begin() + static_cast<std::ptrdiff_t>(n),
                    candidates.end(), [](const Candidate& a, const Candidate& b) {
                      return a.share > b.share || (a.share == b.share && a.index < b.index);
                    });
  for (size_t i = 0; i < n; ++i) {
    const ProcessInfo& p = scan.processes[candidates[i].index];
    out.push_back({0, kind, static_cast<int>(i + 1), p.name + suffix, p.pid, candidates[i].share});
  }
}

}  // namespace

ProcessTopScan::ProcessTopScan(IProcessLister& lister, IClock& clock, int processorCount,
                               std::function<int64_t()> totalMemoryBytes,
                               std::string executableSuffix)
    : lister_(lister),
      clock_(clock),
      processorCount_(std::max(processorCount, 1)),
      totalMemoryBytes_(std::move(totalMemoryBytes)),
      suffix_(std::move(executableSuffix)) {}

std::vector<TopEntry> ProcessTopScan::TopProcesses(int count) {
  std::vector<TopEntry> out;
  // The scan lives for this call only; what the next minute needs of it (pid, start time and CPU
  // time) is kept compact.
  ProcessSnapshot scan;
  if (!lister_.Snapshot(scan)) return out;
  const long long nowNs = clock_.MonotonicNs();

  if (havePrevious_ && nowNs > previousNs_) {
    const double machineNs = static_cast<double>(nowNs - previousNs_) * processorCount_;
    candidates_.clear();
    for (size_t i = 0; i < scan.processes.size(); ++i) {
      const ProcessInfo& p = scan.processes[i];
      // Windows' Idle would lead every quiet minute: its CPU time is the idle time.
      if (p.pseudoProcess) continue;
      // A process is the same one across scans when both its pid and its start time match; one
      // started within the interval counts from its start.
      const Earlier key{p.pid, p.startTicks, 0};
      const auto it = std::lower_bound(before_.begin(), before_.end(), key);
      const uint64_t start =
          it != before_.end() && it->pid == p.pid && it->startTicks == p.startTicks ? it->cpuTimeNs
                                                                                    : 0;
      if (p.cpuTimeNs <= start) continue;
      candidates_.push_back({i, 100.0 * static_cast<double>(p.cpuTimeNs - start) / machineNs});
    }
    TakeTop(candidates_, count, TopKind::Cpu, scan, suffix_, out);
  }

  const int64_t total = totalMemoryBytes_ ? totalMemoryBytes_() : 0;
  if (total > 0) {
    candidates_.clear();
    for (size_t i = 0; i < scan.processes.size(); ++i) {
      const double bytes = static_cast<double>(scan.processes[i].workingSetBytes);
      if (bytes > 0) candidates_.push_back({i, 100.0 * bytes / static_cast<double>(total)});
    }
    TakeTop(candidates_, count, TopKind::Memory, scan, suffix_, out);
  }

  before_.clear();
  for (const ProcessInfo& p : scan.processes) before_.push_back({p.pid, p.startTicks, p.cpuTimeNs});
  std::sort(before_.begin(), before_.end());
  previousNs_ = nowNs;
  havePrevious_ = true;
  return out;
}

}  // namespace tarnwick
