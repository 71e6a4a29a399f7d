// The Processes window (Log > Processes) as a model: the live top processes by CPU and by memory,
// read from the monitor cycle's own process scan after each cycle, sortable by any column, with
// the process an alert now would terminate marked in each list, as the kill rules answer it.
// Read-only: it terminates nothing. Closed, it costs nothing. Open, it takes the cycle's one scan
// (the scan the ranking takes on an exceeding cycle; on other cycles it takes that scan itself) and
// never a second one: the CPU shares are measured between the scans of two cycles.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/process_list.h"
#include "platform/user_names.h"
#include "results/cycle_scan.h"
#include "results/engine_listener.h"
#include "results/engine_status.h"

namespace tarnwick {

inline constexpr std::string_view kProcessesCaption = "Processes";
inline constexpr std::string_view kCannotReadProcesses = "The processes cannot be read.";
inline constexpr std::string_view kSharesNextCycle =
    "CPU shares are measured between two monitor cycles: they come with the next one.";
inline constexpr std::string_view kMonitoringStoppedNote =
    "Monitoring is stopped: the lists are those of the last scan.";

enum class ProcessColumn { Pid, User, Name, Cpu, Memory };
inline constexpr std::array<std::string_view, 5> kProcessColumns{"PID", "User", "Name", "CPU %",
                                                                 "Memory (MB)"};

struct ProcessRow {
  int pid = 0;
  uint64_t startTicks = 0;
  std::string user;
  std::string name;  // as the ranking names it, with the platform's executable suffix
  double cpu = 0;    // share of the whole machine in percent, one decimal
  uint64_t residentBytes = 0;
  bool marked = false;  // the process an alert now would terminate
  std::array<std::string, kProcessColumns.size()> cells;  // as shown, in column order
};

struct ProcessTable {
  std::string caption;
  std::vector<ProcessRow> rows;
  ProcessColumn sortColumn = ProcessColumn::Cpu;
  bool descending = true;
  std::string lblMarked;  // which process is marked; or why none is
};

class ProcessesWindowModel final : public IEngineListener {
 public:
  // The tables: the top processes by CPU and by memory.
  static constexpr size_t kCpuTable = 0;
  static constexpr size_t kMemoryTable = 1;
  // Processes per table (the marked one comes on top of these when it is not among them).
  static constexpr size_t kRows = 15;

  // `scan` is the monitor cycle's own process scan and `status` the engine's state; both outlive
  // the window, which the program makes listen to the engine. `suffix` is the platform's
  // executable suffix; `users` may be null (no user names).
  ProcessesWindowModel(ICycleScan& scan, const IStatusSource& status, std::string suffix,
                       IUserNames* users);
  ProcessesWindowModel(const ProcessesWindowModel&) = delete;
  ProcessesWindowModel& operator=(const ProcessesWindowModel&) = delete;

  // ---- Event handlers ----
  // Log > Processes: shows the window with the latest cycle's scan (taken now when that cycle
  // took none).
  void Show();
  void OnClose();
  // A click on a column heading of table `table`: sorts by it, or turns the order round.
  void OnHeaderClick(size_t table, int column);
  // After both watches of each monitor cycle: nothing while closed; open, the lists of this
  // cycle's scan.
  void OnWatchesDone(const WatchesDone& done) override;
  // The kill rules' answer for each machine watch, which the lists mark.
  void OnKillPick(const KillPickResult& pick) override;

  // ---- Controls ----
  std::string caption = std::string(kProcessesCaption);
  bool visible = false;
  std::array<ProcessTable, 2> tables;
  std::string lblNote;  // processes unreadable, monitoring stopped, shares not measured yet

  // Set by the view: the lists changed outside the view's own handlers (after a cycle).
  std::function<void()> changed;

 private:
  void Read(long cycle);
  void FillTable(size_t index, const std::vector<size_t>& order, const ProcessSnapshot& snapshot,
                 const std::vector<double>& shares, const KillVerdict& verdict,
                 std::string_view watch);
  void Sort(ProcessTable& table);

  ICycleScan& scan_;
  const IStatusSource& status_;
  std::string suffix_;
  IUserNames* users_;
  KillVerdict cpuPick_;
  KillVerdict memPick_;
};

// The line under a list: which process is marked, or why none is.
std::string MarkedLine(const KillVerdict& verdict, std::string_view watch);

}  // namespace tarnwick
