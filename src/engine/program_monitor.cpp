#include "engine/program_monitor.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "common/numbers.h"
#include "common/text.h"
#include "common/time_text.h"
#include "engine/alert_dispatcher.h"
#include "engine/engine.h"

namespace tarnwick {
namespace {

constexpr std::string_view kExceedStart = "(Program Monitor) - ";
constexpr std::string_view kNoCreditsAlert = "No enough credits to send alert message";
constexpr std::string_view kNoCreditsNormalStart = "No enough credits to send program ";
constexpr std::string_view kNoCreditsCpuNormalTail = " CPU usage back to normal alert message";
constexpr std::string_view kNoCreditsMemNormalTail = " Memory usage back to normal alert message";

constexpr std::string_view kNoPidCpuStart = "Unable to get process ID for program ";
constexpr std::string_view kNoPidCpuTail = " for CPU exceed threhold";
constexpr std::string_view kNoPidMemStart = "Unable to get process ID to kill program ";
constexpr std::string_view kNoPidMemTail = " for MEMORY exceed threhold";
constexpr std::string_view kKilledMiddle = " is killed successfully on monitoring ";
constexpr std::string_view kKillFailedMiddle = " is killed UNSUCCESSFULLY on monitoring ";
constexpr std::string_view kCpuHigherThan = " CPU usage higher than ";
constexpr std::string_view kMemHigherThan = " MEMORY usage higher than ";
constexpr std::string_view kKillSuccess = "success";
constexpr std::string_view kKillFail = "fail";
constexpr std::string_view kHasBeenKilled = " has been killed (";

std::string S(std::string_view text) {
  return std::string(text);
}

Watch WatchOf(bool cpu) {
  return cpu ? Watch::ProgramCpu : Watch::ProgramMemory;
}

}  // namespace

ProgramMonitor::ProgramMonitor(Engine& engine, const ProgramSettings& settings,
                               ProcessLookup& lookup, IProcessKiller& killer)
    : engine_(engine),
      settings_(settings),
      lookup_(lookup),
      killer_(killer),
      sampler_(engine.deps().processes, engine.deps().clock) {}

void ProgramMonitor::AnnounceStep(Resource resource, bool found, bool terminated) {
  const bool cpu = resource == Resource::Cpu;
  ProgramStepResult result;
  result.watch = WatchOf(cpu);
  result.found = found;
  result.value = cpu ? cpuValue_ : memValue_;
  result.count = (cpu ? cpu_ : mem_).count;
  result.terminated = terminated;
  engine_.Announce([&](IEngineListener& l) { l.OnProgramStep(result); });
}

bool ProgramMonitor::IsMatch(const ProcessInfo& process) const {
  // The system's idle time and its own work are no program, whatever they are called.
  return !process.pseudoProcess &&
         IsProgramNamed(process, lookup_.executableSuffix(), settings_.pgmNameF) &&
         !WasKilled(FoundProcess{process.pid, process.startTicks});
}

bool ProgramMonitor::WasKilled(const FoundProcess& process) const {
  return std::find(killed_.begin(), killed_.end(), process) != killed_.end();
}

void ProgramMonitor::Follow(ProgramWatch& watch, const ProcessInfo& process) {
  const FoundProcess measured{process.pid, process.startTicks};
  if (measured == watch.process) return;
  watch.process = measured;
  watch.count = 0;
}

void ProgramMonitor::ForgetEndedKills(const ProcessSnapshot* snapshot) {
  if (snapshot == nullptr) return;
  std::erase_if(killed_, [&](const FoundProcess& k) {
    return std::none_of(
        snapshot->processes.begin(), snapshot->processes.end(),
        [&](const ProcessInfo& p) { return p.pid == k.pid && p.startTicks == k.startTicks; });
  });
}

void ProgramMonitor::MonitorProgram() {
  ++cycle_;
  std::vector<double> shares;
  const ProcessSnapshot* snapshot =
      sampler_.CpuShares(cycle_, shares) ? sampler_.Current(cycle_) : nullptr;
  ForgetEndedKills(snapshot);

  bool cpuFound = false;
  if (snapshot != nullptr) {
    for (size_t i = 0; i < snapshot->processes.size(); ++i) {
      const ProcessInfo& process = snapshot->processes[i];
      if (!IsMatch(process)) continue;
      cpuFound = true;
      Follow(cpu_, process);
      CpuSample(shares[i]);
      break;
    }
  }
  if (!cpuFound) AnnounceStep(Resource::Cpu, false, false);

  // The scan of this cycle; a process terminated by the CPU step no longer counts.
  bool memFound = false;
  if (snapshot != nullptr) {
    for (const ProcessInfo& process : snapshot->processes) {
      if (!IsMatch(process)) continue;
      memFound = true;
      Follow(mem_, process);
      MemorySample(process.workingSetBytes);
      break;
    }
  }
  if (!memFound) AnnounceStep(Resource::Memory, false, false);
}

void ProgramMonitor::CpuSample(double shareOfOneProcessor) {
  const int processors = engine_.processorCount > 0 ? engine_.processorCount : 1;
  // To the tenth first, then to the whole number: 12.46 is 12.5 and then 12.
  cpuValue_ =
      static_cast<int32_t>(RoundHalfEven(RoundHalfEvenTo(shareOfOneProcessor / processors, 1)));
  terminated_ = false;
  if (cpuValue_ < settings_.pgmCPUsetF) {
    cpu_.count = 0;
    if (cpu_.notified) BackToNormal(Resource::Cpu);
  } else {
    Exceeded(Resource::Cpu, S(kExceedStart) + settings_.pgmNameF + " CPU " + IntText(cpuValue_) +
                                "% exceed " + IntText(settings_.pgmCPUsetF) + "% ");
  }
  AnnounceStep(Resource::Cpu, true, terminated_);
}

void ProgramMonitor::MemorySample(uint64_t workingSetBytes) {
  // 64-bit all the way: a program of 2 GiB or more is measured, not taken as 0 MB.
  memMegabytes_ =
      static_cast<int64_t>(RoundHalfEven(static_cast<double>(workingSetBytes) / 1024.0 / 1024.0));
  // Without a memory total the share cannot be had; it keeps its last value.
  if (engine_.totalMemoryMB > 0) {
    memValue_ =
        RoundHalfEvenTo(static_cast<double>(memMegabytes_) * 100.0 / engine_.totalMemoryMB, 1);
  }
  terminated_ = false;

  if (memValue_ < settings_.pgmMEMsetF) {
    mem_.count = 0;
    if (mem_.notified) BackToNormal(Resource::Memory);
  } else {
    Exceeded(Resource::Memory, S(kExceedStart) + settings_.pgmNameF + " Memory usage " +
                                   IntText(memMegabytes_) + "M(" + ShortestForm(memValue_) +
                                   "%) exceed " + ShortestForm(settings_.pgmMEMsetF) + "% for ");
  }
  AnnounceStep(Resource::Memory, true, terminated_);
}

// `exceedLine` is the exceed line up to its count.
void ProgramMonitor::Exceeded(Resource resource, const std::string& exceedLine) {
  const bool cpu = resource == Resource::Cpu;
  ProgramWatch& watch = cpu ? cpu_ : mem_;
  if (watch.count == 0) watch.startTime = HhMmSs(engine_.deps().clock.Now());
  if (watch.count < INT16_MAX) ++watch.count;
  ExceedingResult exceeding;
  exceeding.watch = WatchOf(cpu);
  exceeding.value = static_cast<int>(cpu ? cpuValue_ : RoundHalfEven(memValue_));
  exceeding.count = watch.count;
  exceeding.top = TopSample{settings_.pgmNameF, watch.process.pid, watch.process.startTicks,
                            cpu ? static_cast<double>(cpuValue_) : memValue_};
  exceeding.runTop = exceeding.top;
  exceeding.line = exceedLine + IntText(watch.count) + " times";
  engine_.WriteLog(exceeding.line);
  engine_.Announce([&](IEngineListener& l) { l.OnExceeding(exceeding); });
  if (settings_.pgmSoundF == 1) engine_.PlayAlertSound(settings_.pgmFileSoundF);

  if (watch.count < settings_.pgmAlertSetF) return;
  if (watch.notified) {
    // Still high after the alert: the run starts again without a second alert.
    watch.count = 0;
    return;
  }
  RaiseAlert(resource);
}

void ProgramMonitor::RaiseAlert(Resource resource) {
  const bool cpu = resource == Resource::Cpu;
  ProgramWatch& watch = cpu ? cpu_ : mem_;
  AlertResult result;
  result.watch = WatchOf(cpu);
  result.value = cpu ? cpuValue_ : memValue_;
  result.samples = watch.count;
  result.top =
      TopSample{settings_.pgmNameF, watch.process.pid, watch.process.startTicks, result.value};
  const std::string outcome = settings_.pgmKillF == 1 ? Terminate(resource) : std::string();
  if (settings_.pgmKillF == 1) {
    result.termination = outcome.empty()              ? TerminationOutcome::Refused
                         : outcome == S(kKillSuccess) ? TerminationOutcome::Succeeded
                                                      : TerminationOutcome::Failed;
    if (!outcome.empty()) {
      result.killedName = settings_.pgmNameF;
      result.killedPid = lookup_.found().pid;
    }
  }

  const LocalTime now = engine_.deps().clock.Now();
  watch.endTime = HhMmSs(now);
  const int seconds = SecondsBetween(watch.startTime, watch.endTime).value_or(0);
  result.seconds = seconds;
  std::string text = YmdHms(now) + " " + engine_.settings.host_Name + " - " + settings_.pgmNameF;
  if (cpu) {
    text += " CPU " + IntText(cpuValue_) + "% exceed " + IntText(settings_.pgmCPUsetF) + "% for " +
            IntText(seconds) + " sec.(" + IntText(watch.count) + " times)";
  } else {
    text += " MEMORY usage " + IntText(memMegabytes_) + "M(" + ShortestForm(memValue_) +
            "%) exceed " + ShortestForm(settings_.pgmMEMsetF) + "% for " + IntText(seconds) +
            " sec.(" + IntText(watch.count) + " times).";
  }
  if (!outcome.empty()) text += " " + settings_.pgmNameF + S(kHasBeenKilled) + outcome + ")";
  // A memory alert plays the sound once more, after the exceedance's own.
  if (!cpu && settings_.pgmSoundF == 1) engine_.PlayAlertSound(settings_.pgmFileSoundF);
  result.message = text;
  result.dispatch = Send(std::move(text), S(kNoCreditsAlert));
  engine_.Announce([&](IEngineListener& l) { l.OnAlert(result); });
  watch.count = 0;
  watch.notified = true;
}

std::string ProgramMonitor::Terminate(Resource resource) {
  const bool cpu = resource == Resource::Cpu;
  const std::string& name = settings_.pgmNameF;
  // The instance this step measured, if it still runs: another instance of the program, or
  // one already terminated by the other step, is not its to end.
  const FoundProcess& measured = (cpu ? cpu_ : mem_).process;
  if (!lookup_.FindProcess(measured.pid, measured.startTicks) || WasKilled(measured)) {
    engine_.WriteLog(cpu ? S(kNoPidCpuStart) + name + S(kNoPidCpuTail)
                         : S(kNoPidMemStart) + name + S(kNoPidMemTail));
    return {};
  }
  const FoundProcess found = lookup_.found();
  const std::string reason = cpu ? S(kCpuHigherThan) + IntText(settings_.pgmCPUsetF) + "%"
                                 : S(kMemHigherThan) + ShortestForm(settings_.pgmMEMsetF) + "%";
  const bool terminated = killer_.KillProcess(found.pid, found.startTicks);
  TerminationResult result{WatchOf(cpu), name, found.pid, terminated, {}};
  if (!terminated) {
    result.line = S(kProgramKillFailedStart) + name + S(kKillFailedMiddle) + name + reason;
    engine_.WriteLog(result.line);
    engine_.Announce([&](IEngineListener& l) { l.OnTermination(result); });
    return S(kKillFail);
  }
  killed_.push_back(found);
  terminated_ = true;
  result.line = S(kProgramKilledStart) + name + S(kKilledMiddle) + name + reason;
  engine_.WriteLog(result.line);
  engine_.Announce([&](IEngineListener& l) { l.OnTermination(result); });
  return S(kKillSuccess);
}

void ProgramMonitor::BackToNormal(Resource resource) {
  const bool cpu = resource == Resource::Cpu;
  const std::string& name = settings_.pgmNameF;
  BackToNormalResult result;
  result.watch = WatchOf(cpu);
  result.value = cpu ? cpuValue_ : memValue_;
  result.program = name;
  result.noticeDue = true;
  std::string text = YmdHms(engine_.deps().clock.Now()) + " " + name;
  if (cpu) {
    text += " CPU usage back to normal. Now " + name + " CPU usage is " + IntText(cpuValue_) +
            "%. CPU threshold setting is " + IntText(settings_.pgmCPUsetF) + "% for " +
            IntText(settings_.pgmAlertSetF) + " times";
    result.line = text;
    result.dispatch = Send(text, S(kNoCreditsNormalStart) + name + S(kNoCreditsCpuNormalTail));
    cpu_.notified = false;
  } else {
    text += " Memory usage back to normal. Now " + name + " Memory usage is " +
            IntText(memMegabytes_) + "M(" + ShortestForm(memValue_) +
            "%).Memory threshold setting is " + ShortestForm(settings_.pgmMEMsetF) + "% for " +
            IntText(settings_.pgmAlertSetF) + " times";
    result.line = text;
    result.dispatch = Send(text, S(kNoCreditsNormalStart) + name + S(kNoCreditsMemNormalTail));
    mem_.notified = false;
  }
  engine_.Announce([&](IEngineListener& l) { l.OnBackToNormal(result); });
}

DispatchOutcome ProgramMonitor::Send(std::string text, const std::string& creditLine) {
  Outgoing out;
  out.message = std::move(text);
  out.writeLine = false;
  out.creditsLine = creditLine;
  return DispatchAlert(engine_, out);
}

void ProgramMonitor::ResetForStart(bool fullReset) {
  cpu_.startTime.clear();
  mem_.startTime.clear();
  cpu_.count = mem_.count = 0;
  // The scan before the stop is no measure of the interval now: the next cycle samples afresh.
  sampler_.Reset();
  if (fullReset) ClearAlertFlags();
}

}  // namespace tarnwick
