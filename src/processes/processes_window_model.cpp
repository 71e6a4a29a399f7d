#include "processes/processes_window_model.h"

#include <algorithm>
#include <tuple>

#include "common/numbers.h"
#include "engine/history_tally.h"

namespace tarnwick {
namespace {

constexpr std::string_view kCpuCaption = "Top processes by CPU";
constexpr std::string_view kMemoryCaption = "Top processes by memory";
constexpr std::string_view kMarkedStart = "Marked: ";
constexpr std::string_view kMarkedTail = ": the process an alert now would pick to terminate.";
constexpr std::string_view kEndedTail = ", has ended: an alert now would terminate nothing.";
constexpr std::string_view kNoneMarkedStart = "No process is marked: no sample over the ";
constexpr std::string_view kTerminatingOff = " Terminating is off in the settings.";

double Megabytes(uint64_t bytes) {
  return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

}  // namespace

ProcessesWindowModel::ProcessesWindowModel(MainWindowModel& window, IUserNames* users)
    : window_(window), users_(users) {
  tables[kCpuTable].caption = std::string(kCpuCaption);
  tables[kMemoryTable].caption = std::string(kMemoryCaption);
  tables[kMemoryTable].sortColumn = ProcessColumn::Memory;
  window_.SetCycleObserver(this);
}

ProcessesWindowModel::~ProcessesWindowModel() {
  window_.SetCycleObserver(nullptr);
}

void ProcessesWindowModel::Show() {
  visible = true;
  Read(window_.cycleNumber());
}

void ProcessesWindowModel::OnClose() {
  visible = false;
  for (ProcessTable& table : tables) {
    table.rows.clear();
    table.lblMarked.clear();
  }
  lblNote.clear();
}

void ProcessesWindowModel::AfterCycle(long cycle) {
  if (!visible) return;
  Read(cycle);
  if (changed) changed();
}

void ProcessesWindowModel::OnHeaderClick(size_t table, int column) {
  if (table >= tables.size() || column < 0 || column >= static_cast<int>(kProcessColumns.size())) {
    return;
  }
  ProcessTable& t = tables[table];
  const auto chosen = static_cast<ProcessColumn>(column);
  if (chosen == t.sortColumn) {
    t.descending = !t.descending;
  } else {
    t.sortColumn = chosen;
    // Shares and sizes start with the largest, pids and names from the smallest.
    t.descending = chosen == ProcessColumn::Cpu || chosen == ProcessColumn::Memory;
  }
  Sort(t);
}

void ProcessesWindowModel::Read(long cycle) {
  ProcessSampler& sampler = window_.processSampler();
  const ProcessSnapshot* snapshot = sampler.Current(cycle);
  if (snapshot == nullptr) {
    for (ProcessTable& table : tables) {
      table.rows.clear();
      table.lblMarked.clear();
    }
    lblNote = std::string(kCannotReadProcesses);
    return;
  }
  // Over the interval since the previous cycle's scan only: never a second scan of its own.
  std::vector<double> shares;
  const bool haveShares = sampler.CpuShares(cycle, shares, false);
  // CpuShares may have left the current scan alone or not: read it again.
  snapshot = sampler.Current(cycle);
  const auto& processes = snapshot->processes;
  if (!haveShares) shares.assign(processes.size(), 0.0);
  const double processors = window_.processorCount > 0 ? window_.processorCount : 1;
  for (double& share : shares) share = RoundHalfEvenTo(share / processors, 1);

  std::vector<size_t> order(processes.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  const size_t top = std::min(kRows, order.size());
  // The top ones in the scan's order among equals, as the ranking takes the first of equals;
  // like the ranking, without the system's own accounting (Windows' Idle and System).
  std::vector<size_t> byCpu;
  for (const size_t i : order) {
    if (!processes[i].pseudoProcess) byCpu.push_back(i);
  }
  if (haveShares) {
    const size_t cpuTop = std::min(kRows, byCpu.size());
    std::partial_sort(
        byCpu.begin(), byCpu.begin() + static_cast<std::ptrdiff_t>(cpuTop), byCpu.end(),
        [&shares](size_t a, size_t b) { return std::tie(shares[b], a) < std::tie(shares[a], b); });
    byCpu.resize(cpuTop);
  } else {
    byCpu.clear();
  }
  std::vector<size_t> byMemory = order;
  std::partial_sort(byMemory.begin(), byMemory.begin() + static_cast<std::ptrdiff_t>(top),
                    byMemory.end(), [&processes](size_t a, size_t b) {
                      return std::tie(processes[b].workingSetBytes, a) <
                             std::tie(processes[a].workingSetBytes, b);
                    });
  byMemory.resize(top);

  FillTable(kCpuTable, byCpu, *snapshot, shares, window_.ranking.cpuTopList, "CPU");
  FillTable(kMemoryTable, byMemory, *snapshot, shares, window_.ranking.memTopList, "memory");
  if (!haveShares) {
    lblNote = std::string(kSharesNextCycle);
  } else if (!window_.MonitoringOn()) {
    lblNote = std::string(kMonitoringStoppedNote);
  } else {
    lblNote.clear();
  }
}

void ProcessesWindowModel::FillTable(size_t index, const std::vector<size_t>& order,
                                     const ProcessSnapshot& snapshot,
                                     const std::vector<double>& shares, const TopHistory& history,
                                     std::string_view watch) {
  ProcessTable& table = tables[index];
  const auto& processes = snapshot.processes;
  const std::string suffix = window_.deps().system.ExecutableSuffix();
  // The kill rule's own choice over the watch's samples since its last alert or normal sample.
  const HistoryTally tally = TallyHistory(history);
  size_t samples = 0;
  for (const TopSample& sample : history) samples += sample.name.empty() ? 0 : 1;
  const bool anyMarked = !tally.top.empty();
  auto isMarked = [&](const ProcessInfo& p) {
    return anyMarked && p.pid == tally.chosen.pid && p.startTicks == tally.chosen.startTicks;
  };

  const bool markedRuns = anyMarked && std::any_of(processes.begin(), processes.end(), isMarked);
  std::vector<size_t> shown = order;
  // The marked process is listed even when others lead it now.
  if (markedRuns && !order.empty() &&
      std::none_of(shown.begin(), shown.end(), [&](size_t i) { return isMarked(processes[i]); })) {
    for (size_t i = 0; i < processes.size(); ++i) {
      if (isMarked(processes[i])) shown.push_back(i);
    }
  }

  table.rows.clear();
  for (const size_t i : shown) {
    const ProcessInfo& p = processes[i];
    ProcessRow& row = table.rows.emplace_back();
    row.pid = p.pid;
    row.startTicks = p.startTicks;
    row.user = users_ != nullptr ? users_->UserName(p.uid) : std::string();
    row.name = p.name + suffix;
    row.cpu = i < shares.size() ? shares[i] : 0;
    row.residentBytes = p.workingSetBytes;
    row.marked = isMarked(p);
    row.cells = {std::to_string(row.pid), row.user, row.name, OneDecimal(row.cpu),
                 OneDecimal(Megabytes(row.residentBytes))};
  }
  Sort(table);

  if (!anyMarked) {
    table.lblMarked = std::string(kNoneMarkedStart) + std::string(watch) +
                      " threshold since the last alert or normal sample.";
    return;
  }
  const std::string who = tally.chosen.name + " (pid " + std::to_string(tally.chosen.pid) +
                          "), on top at " + std::to_string(tally.chosenCount) + " of the " +
                          std::to_string(samples) + " samples over the " + std::string(watch) +
                          " threshold since the last alert";
  if (!markedRuns) {
    table.lblMarked = who + std::string(kEndedTail);
    return;
  }
  table.lblMarked = std::string(kMarkedStart) + who + std::string(kMarkedTail);
  if (window_.settings.KillProc != 1) table.lblMarked += std::string(kTerminatingOff);
}

void ProcessesWindowModel::Sort(ProcessTable& table) {
  const ProcessColumn column = table.sortColumn;
  const bool descending = table.descending;
  std::stable_sort(table.rows.begin(), table.rows.end(),
                   [column, descending](const ProcessRow& a, const ProcessRow& b) {
                     const ProcessRow& x = descending ? b : a;
                     const ProcessRow& y = descending ? a : b;
                     switch (column) {
                       case ProcessColumn::Pid:
                         return x.pid < y.pid;
                       case ProcessColumn::User:
                         return std::tie(x.user, x.pid) < std::tie(y.user, y.pid);
                       case ProcessColumn::Name:
                         return std::tie(x.name, x.pid) < std::tie(y.name, y.pid);
                       case ProcessColumn::Cpu:
                         return x.cpu < y.cpu;
                       case ProcessColumn::Memory:
                         return x.residentBytes < y.residentBytes;
                     }
                     return false;
                   });
}

}  // namespace tarnwick
