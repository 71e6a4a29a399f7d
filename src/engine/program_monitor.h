// The watch of one named program: its CPU and memory shares each cycle, counted against its own
// thresholds, with its own alerts, back-to-normal notices, sound and termination.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/process_lookup.h"
#include "engine/process_ranking.h"
#include "platform/process_killer.h"
#include "results/engine_results.h"
#include "settings/program_settings.h"

namespace tarnwick {

class Engine;

// The starts of the log lines of a termination of the watched program, succeeded or failed.
inline constexpr std::string_view kProgramKilledStart = "(Program killed) - ";
inline constexpr std::string_view kProgramKillFailedStart = "(Program killed failure) - ";

// The state of one resource's watch.
//
// The count belongs to one process, the one the watch measured last (pid and start time), never
// to the name: when a step measures another process than before (the one it measured has ended
// or was terminated, maybe by the other step in the same cycle, or a namesake now comes first in
// the list), its count starts afresh with that sample, at 1 when it exceeds. So an alert, and a
// termination, always rest on that many consecutive samples of the very process they name; a
// namesake's single sample never completes another process's run. A cycle in which no process of
// the name runs changes neither the count nor the process. The alert flag belongs to the
// program: its back-to-normal notice speaks of the program, whichever instance runs then.
struct ProgramWatch {
  int16_t count = 0;      // consecutive samples of `process` at or above the threshold
  bool notified = false;  // an alert went out and no back-to-normal notice since
  std::string startTime;  // "hh:mm:ss" of the first sample of the current run, or empty
  std::string endTime;    // "hh:mm:ss" at which the last alert was raised
  FoundProcess process;   // the instance measured last: the one `count` counts and a kill ends
};

class ProgramMonitor {
 public:
  ProgramMonitor(Engine& engine, const ProgramSettings& settings, ProcessLookup& lookup,
                 IProcessKiller& killer);

  // One cycle: the first process of the watched name (in the platform's order) is measured;
  // the CPU share is taken over the interval since the previous cycle (over a short second scan
  // on the first cycle and after a start), as a share of the whole machine; the memory share is
  // the working set against the machine's total memory.
  void MonitorProgram();

  // Monitoring was switched on: start times and counts begin afresh, and the next CPU share is
  // measured anew. `fullReset` also clears both alert flags.
  void ResetForStart(bool fullReset);

  // The watch was switched on again in its dialog: the next CPU share is measured afresh, not
  // over the time it was off.
  void ResetSampler() { sampler_.Reset(); }

  // A new program name was saved: no back-to-normal notice is pending for it.
  void ClearAlertFlags() { cpu_.notified = mem_.notified = false; }

  const ProgramWatch& cpuWatch() const { return cpu_; }
  const ProgramWatch& memWatch() const { return mem_; }
  int32_t pgmCPUValue() const { return cpuValue_; }
  double pgmMEMValue() const { return memValue_; }

 private:
  enum class Resource { Cpu, Memory };
  bool IsMatch(const ProcessInfo& process) const;
  // The step of `watch` measures `process` now: a process other than the last one starts the
  // count afresh.
  static void Follow(ProgramWatch& watch, const ProcessInfo& process);
  bool WasKilled(const FoundProcess& process) const;
  void ForgetEndedKills(const ProcessSnapshot* snapshot);
  void CpuSample(double shareOfOneProcessor);
  void MemorySample(uint64_t workingSetBytes);
  // Exceeding sample of either resource: count, exceed line, sound, alert when due.
  void Exceeded(Resource resource, const std::string& exceedLine);
  void RaiseAlert(Resource resource);
  // Terminates the program; returns "success" or "fail", or "" when no process was found.
  std::string Terminate(Resource resource);
  void BackToNormal(Resource resource);
  // Hands an alert or notice to the dispatcher, which writes `creditLine` when no credits are
  // left.
  DispatchOutcome Send(std::string text, const std::string& creditLine);
  void AnnounceStep(Resource resource, bool found, bool terminated);

  Engine& engine_;
  const ProgramSettings& settings_;
  ProcessLookup& lookup_;
  IProcessKiller& killer_;
  ProcessSampler sampler_;
  long cycle_ = 0;
  ProgramWatch cpu_;
  ProgramWatch mem_;
  int32_t cpuValue_ = 0;
  double memValue_ = 0;
  int64_t memMegabytes_ = 0;
  // Processes this watch terminated: a terminated process may stay listed until its parent
  // collects it, and must not count as the program still running.
  std::vector<FoundProcess> killed_;
  // The step under way terminated the program.
  bool terminated_ = false;
};

}  // namespace tarnwick
