#include "history/top_scan.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

namespace tarnwick {
namespace {

// A process is the same one across scans when both its pid and its start time match.
uint64_t Identity(const ProcessInfo& p) {
  return (static_cast<uint64_t>(static_cast<uint32_t>(p.pid)) << 32) ^ p.startTicks;
}

struct Candidate {
  size_t index;
  double share;
};

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
  ProcessSnapshot scan;
  if (!lister_.Snapshot(scan)) return out;
  const long long nowNs = clock_.MonotonicNs();

  if (havePrevious_ && nowNs > previousNs_) {
    std::unordered_map<uint64_t, uint64_t> before;
    before.reserve(previous_.processes.size());
    for (const ProcessInfo& p : previous_.processes) before.emplace(Identity(p), p.cpuTimeNs);
    const double machineNs = static_cast<double>(nowNs - previousNs_) * processorCount_;
    std::vector<Candidate> cpu;
    for (size_t i = 0; i < scan.processes.size(); ++i) {
      const ProcessInfo& p = scan.processes[i];
      // Windows' Idle would lead every quiet minute: its CPU time is the idle time.
      if (p.pseudoProcess) continue;
      const auto it = before.find(Identity(p));
      // A process started within the interval counts from its start.
      const uint64_t start = it == before.end() ? 0 : it->second;
      if (p.cpuTimeNs <= start) continue;
      cpu.push_back({i, 100.0 * static_cast<double>(p.cpuTimeNs - start) / machineNs});
    }
    TakeTop(cpu, count, TopKind::Cpu, scan, suffix_, out);
  }

  const int64_t total = totalMemoryBytes_ ? totalMemoryBytes_() : 0;
  if (total > 0) {
    std::vector<Candidate> mem;
    mem.reserve(scan.processes.size());
    for (size_t i = 0; i < scan.processes.size(); ++i) {
      const double bytes = static_cast<double>(scan.processes[i].workingSetBytes);
      if (bytes > 0) mem.push_back({i, 100.0 * bytes / static_cast<double>(total)});
    }
    TakeTop(mem, count, TopKind::Memory, scan, suffix_, out);
  }

  previous_ = std::move(scan);
  previousNs_ = nowNs;
  havePrevious_ = true;
  return out;
}

}  // namespace tarnwick
