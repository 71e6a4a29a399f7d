#include "processes/processes_window_model.h"

#include <algorithm>
#include <tuple>

#include "common/numbers.h"
#include "common/text.h"

namespace tarnwick {
namespace {

constexpr std::string_view kCpuCaption = "Top processes by CPU";
constexpr std::string_view kClaimedNameMark = " [claimed name]";
constexpr std::string_view kMemoryCaption = "Top processes by memory";
constexpr std::string_view kMarkedStart = "Marked: ";
constexpr std::string_view kMarkedTail = ": the process an alert now would terminate.";
constexpr std::string_view kEndedTail = ", has ended: an alert now would terminate nothing.";
constexpr std::string_view kNoneMarkedStart = "No process is marked: no sample over the ";
constexpr std::string_view kNoneMarkedTail = " threshold since the last alert or normal sample.";
constexpr std::string_view kNotMarkedStart = "Not marked: ";
constexpr std::string_view kKillOff = ". Terminating is off in the settings.";
constexpr std::string_view kOwnProgram = ". It is this program itself.";
constexpr std::string_view kServiceAccount = ". It belongs to a service account.";
constexpr std::string_view kListed = ". Its name is in the list of processes never to kill.";
constexpr std::string_view kNotListed = ". Its name is not in the list of processes to kill.";
constexpr std::string_view kTooFewStart = ". The kill rule needs it on top ";
constexpr std::string_view kTooFewEnd = " times.";
constexpr std::string_view kNoCount = ". The kill rule's count is not a whole number.";

double Megabytes(uint64_t bytes) {
  return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

}  // namespace

ProcessesWindowModel::ProcessesWindowModel(ICycleScan& scan, const IStatusSource& status,
                                           std::string suffix, IUserNames* users)
    : scan_(scan), status_(status), suffix_(std::move(suffix)), users_(users) {
  tables[kCpuTable].caption = std::string(kCpuCaption);
  tables[kMemoryTable].caption = std::string(kMemoryCaption);
  tables[kMemoryTable].sortColumn = ProcessColumn::Memory;
}

void ProcessesWindowModel::Show() {
  visible = true;
  Read(status_.Status().cycles);
}

void ProcessesWindowModel::OnKillPick(const KillPickResult& pick) {
  (pick.watch == Watch::Cpu ? cpuPick_ : memPick_) = pick.verdict;
}

void ProcessesWindowModel::OnClose() {
  visible = false;
  for (ProcessTable& table : tables) {
    table.rows.clear();
    table.lblMarked.clear();
  }
  lblNote.clear();
}

void ProcessesWindowModel::OnWatchesDone(const WatchesDone& done) {
  if (!visible) return;
  Read(done.cycle);
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
  ICycleScan& sampler = scan_;
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
  const EngineStatus status = status_.Status();
  const double processors = status.processorCount > 0 ? status.processorCount : 1;
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

  FillTable(kCpuTable, byCpu, *snapshot, shares, cpuPick_, "CPU");
  FillTable(kMemoryTable, byMemory, *snapshot, shares, memPick_, "memory");
  if (!haveShares) {
    lblNote = std::string(kSharesNextCycle);
  } else if (!status.monitoring) {
    lblNote = std::string(kMonitoringStoppedNote);
  } else {
    lblNote.clear();
  }
}

void ProcessesWindowModel::FillTable(size_t index, const std::vector<size_t>& order,
                                     const ProcessSnapshot& snapshot,
                                     const std::vector<double>& shares, const KillVerdict& verdict,
                                     std::string_view watch) {
  ProcessTable& table = tables[index];
  const auto& processes = snapshot.processes;
  const bool anyCandidate = verdict.reason != KillReason::NoTopProcess && verdict.samples > 0 &&
                            !verdict.candidate.name.empty();
  auto isCandidate = [&](const ProcessInfo& p) {
    return anyCandidate && p.pid == verdict.candidate.pid &&
           p.startTicks == verdict.candidate.startTicks;
  };

  const bool candidateRuns =
      anyCandidate && std::any_of(processes.begin(), processes.end(), isCandidate);
  std::vector<size_t> shown = order;
  // The process the rules speak of is listed even when others lead it now.
  if (candidateRuns && !order.empty() && std::none_of(shown.begin(), shown.end(), [&](size_t i) {
        return isCandidate(processes[i]);
      })) {
    for (size_t i = 0; i < processes.size(); ++i) {
      if (isCandidate(processes[i])) shown.push_back(i);
    }
  }

  table.rows.clear();
  for (const size_t i : shown) {
    const ProcessInfo& p = processes[i];
    ProcessRow& row = table.rows.emplace_back();
    row.pid = p.pid;
    row.startTicks = p.startTicks;
    row.user = users_ != nullptr ? users_->UserName(p.uid) : std::string();
    row.name = p.name + suffix_;
    row.cpu = i < shares.size() ? shares[i] : 0;
    row.residentBytes = p.workingSetBytes;
    row.marked = verdict.Terminates() && isCandidate(p);
    // A name the process gave itself (its executable could not be read) says so.
    row.cells = {std::to_string(row.pid), row.user,
                 p.nameClaimed ? row.name + std::string(kClaimedNameMark) : row.name,
                 OneDecimal(row.cpu), OneDecimal(Megabytes(row.residentBytes))};
  }
  Sort(table);
  table.lblMarked = MarkedLine(verdict, watch);
}

std::string MarkedLine(const KillVerdict& verdict, std::string_view watch) {
  if (verdict.samples == 0 || verdict.candidate.name.empty()) {
    return std::string(kNoneMarkedStart) + std::string(watch) + std::string(kNoneMarkedTail);
  }
  const std::string who =
      verdict.candidate.name + " (pid " + std::to_string(verdict.candidate.pid) + "), on top at " +
      std::to_string(verdict.timesOnTop) + " of the " + std::to_string(verdict.samples) +
      " samples over the " + std::string(watch) + " threshold since the last alert";
  const std::string notMarked = std::string(kNotMarkedStart) + who;
  switch (verdict.reason) {
    case KillReason::Terminates:
      return std::string(kMarkedStart) + who + std::string(kMarkedTail);
    case KillReason::NoTopProcess:
      return std::string(kNoneMarkedStart) + std::string(watch) + std::string(kNoneMarkedTail);
    case KillReason::Ended:
      return who + std::string(kEndedTail);
    case KillReason::KillOff:
      return notMarked + std::string(kKillOff);
    case KillReason::OwnProgram:
      return notMarked + std::string(kOwnProgram);
    case KillReason::ServiceAccount:
      return notMarked + std::string(kServiceAccount);
    case KillReason::Listed:
      return notMarked + std::string(kListed);
    case KillReason::NotListed:
      return notMarked + std::string(kNotListed);
    case KillReason::TooFewTimes:
      if (verdict.needed <= 0) return notMarked + std::string(kNoCount);
      return notMarked + std::string(kTooFewStart) + std::to_string(verdict.needed) +
             std::string(kTooFewEnd);
  }
  return {};
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
                       // Names and users as a reader sorts them: "bash" before "Xorg".
                       case ProcessColumn::User:
                         return std::tuple(ToLower(x.user), x.user, x.pid) <
                                std::tuple(ToLower(y.user), y.user, y.pid);
                       case ProcessColumn::Name:
                         return std::tuple(ToLower(x.name), x.name, x.pid) <
                                std::tuple(ToLower(y.name), y.name, y.pid);
                       case ProcessColumn::Cpu:
                         return x.cpu < y.cpu;
                       case ProcessColumn::Memory:
                         return x.residentBytes < y.residentBytes;
                     }
                     return false;
                   });
}

}  // namespace tarnwick
