#include "engine/program_monitor.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "common/numbers.h"
#include "common/text.h"
#include "common/time_text.h"
#include "forms/main_window_model.h"

namespace tarnwick {
namespace {

constexpr std::string_view kExceedStart = "(Program Monitor) - ";
constexpr std::string_view kNotFoundTail = " not found";
constexpr std::string_view kKilledTail = " killed";
constexpr std::string_view kKilledMarker = "killed";
constexpr std::string_view kNoValue = "--";
constexpr std::string_view kNoCount = "-";

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

MetricsWatch MetricsWatchOf(bool cpu) {
  return cpu ? MetricsWatch::ProgramCpu : MetricsWatch::ProgramMemory;
}

}  // namespace

ProgramMonitor::ProgramMonitor(MainWindowModel& window, const ProgramSettings& settings,
                               ProcessLookup& lookup, IProcessKiller& killer)
    : window_(window),
      settings_(settings),
      lookup_(lookup),
      killer_(killer),
      sampler_(window.deps().processes, window.deps().clock) {}

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
  if (!cpuFound) {
    window_.Label6[0].caption = settings_.pgmNameF + S(kNotFoundTail);
    window_.pgmCPU.caption = S(kNoValue);
    window_.pgmCPU_count.caption = S(kNoCount);
  }

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
  if (!memFound && !Contains(window_.Label6[2].caption, kKilledMarker)) {
    window_.Label6[2].caption = settings_.pgmNameF + S(kNotFoundTail);
    window_.pgmMEM.caption = S(kNoValue);
    window_.pgmMEM_Count.caption = S(kNoCount);
  }
}

void ProgramMonitor::CpuSample(double shareOfOneProcessor) {
  const int processors = window_.processorCount > 0 ? window_.processorCount : 1;
  // To the tenth first, then to the whole number: 12.46 is 12.5 and then 12.
  cpuValue_ =
      static_cast<int32_t>(RoundHalfEven(RoundHalfEvenTo(shareOfOneProcessor / processors, 1)));
  window_.pgmCPU.caption = IntText(cpuValue_) + "%";
  window_.Label6[0].caption = settings_.pgmNameF;

  if (cpuValue_ < settings_.pgmCPUsetF) {
    cpu_.count = 0;
    if (cpu_.notified) BackToNormal(Resource::Cpu);
  } else {
    Exceeded(Resource::Cpu, S(kExceedStart) + settings_.pgmNameF + " CPU " + IntText(cpuValue_) +
                                "% exceed " + IntText(settings_.pgmCPUsetF) + "% ");
  }
  window_.pgmCPU_count.caption = IntText(cpu_.count);
}

void ProgramMonitor::MemorySample(uint64_t workingSetBytes) {
  // 64-bit all the way: a program of 2 GiB or more is measured, not taken as 0 MB.
  memMegabytes_ =
      static_cast<int64_t>(RoundHalfEven(static_cast<double>(workingSetBytes) / 1024.0 / 1024.0));
  // Without a memory total the share cannot be had; it keeps its last value.
  if (window_.totalMemoryMB > 0) {
    memValue_ =
        RoundHalfEvenTo(static_cast<double>(memMegabytes_) * 100.0 / window_.totalMemoryMB, 1);
  }
  window_.pgmMEM.caption = ShortestForm(memValue_) + "%";
  window_.Label6[2].caption = settings_.pgmNameF;

  if (memValue_ < settings_.pgmMEMsetF) {
    mem_.count = 0;
    if (mem_.notified) BackToNormal(Resource::Memory);
  } else {
    Exceeded(Resource::Memory, S(kExceedStart) + settings_.pgmNameF + " Memory usage " +
                                   IntText(memMegabytes_) + "M(" + ShortestForm(memValue_) +
                                   "%) exceed " + ShortestForm(settings_.pgmMEMsetF) + "% for ");
  }
  window_.pgmMEM_Count.caption = IntText(mem_.count);
}

// `exceedLine` is the exceed line up to its count.
void ProgramMonitor::Exceeded(Resource resource, const std::string& exceedLine) {
  const bool cpu = resource == Resource::Cpu;
  ProgramWatch& watch = cpu ? cpu_ : mem_;
  if (watch.count == 0) watch.startTime = HhMmSs(window_.deps().clock.Now());
  if (watch.count < INT16_MAX) ++watch.count;
  (cpu ? window_.pgmCPU_count : window_.pgmMEM_Count).caption = IntText(watch.count);
  window_.WriteLog(exceedLine + IntText(watch.count) + " times");
  if (IMetricsHook* metrics = window_.metricsHook()) {
    metrics->TopProcess(MetricsWatchOf(cpu), settings_.pgmNameF, (cpu ? cpu_ : mem_).process.pid);
  }
  if (settings_.pgmSoundF == 1) window_.PlayAlertSound(settings_.pgmFileSoundF);

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
  const std::string outcome = settings_.pgmKillF == 1 ? Terminate(resource) : std::string();
  if (IMetricsHook* metrics = window_.metricsHook();
      metrics != nullptr && settings_.pgmKillF == 1) {
    metrics->Termination(MetricsWatchOf(cpu), outcome.empty() ? TerminationOutcome::Refused
                                              : outcome == S(kKillSuccess)
                                                  ? TerminationOutcome::Succeeded
                                                  : TerminationOutcome::Failed);
  }

  const LocalTime now = window_.deps().clock.Now();
  watch.endTime = HhMmSs(now);
  const int seconds = SecondsBetween(watch.startTime, watch.endTime).value_or(0);
  std::string text = YmdHms(now) + " " + window_.settings.host_Name + " - " + settings_.pgmNameF;
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
  if (!cpu && settings_.pgmSoundF == 1) window_.PlayAlertSound(settings_.pgmFileSoundF);
  HistoryEvent event;
  event.kind = HistoryEventKind::ProgramAlert;
  event.text = text;
  // The dispatcher counts every request it makes: for the metrics, the alert went out when the
  // count moved (the history keeps whether it was handed to the dispatcher at all).
  const int32_t requests = window_.session.requestSeq;
  const bool sent = Send(std::move(text), S(kNoCreditsAlert));
  if (IMetricsHook* metrics = window_.metricsHook()) {
    metrics->AlertRaised(MetricsWatchOf(cpu), window_.session.requestSeq != requests);
  }
  if (IHistoryRecorder* history = window_.historyRecorder()) {
    event.watch = cpu ? HistoryWatch::ProgramCpu : HistoryWatch::ProgramMemory;
    event.value = cpu ? cpuValue_ : memValue_;
    event.top = settings_.pgmNameF;
    if (outcome == kKillSuccess) event.kill = KillOutcome::Terminated;
    if (outcome == kKillFail) event.kill = KillOutcome::Failed;
    event.sent = sent ? SendState::Sent : SendState::LogOnly;
    history->RecordWatchEvent(event);
  }
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
    window_.WriteLog(cpu ? S(kNoPidCpuStart) + name + S(kNoPidCpuTail)
                         : S(kNoPidMemStart) + name + S(kNoPidMemTail));
    return {};
  }
  const FoundProcess found = lookup_.found();
  const std::string reason = cpu ? S(kCpuHigherThan) + IntText(settings_.pgmCPUsetF) + "%"
                                 : S(kMemHigherThan) + ShortestForm(settings_.pgmMEMsetF) + "%";
  const bool terminated = killer_.KillProcess(found.pid, found.startTicks);
  if (IHistoryRecorder* history = window_.historyRecorder()) {
    history->RecordTermination(name, found.pid, terminated);
  }
  if (!terminated) {
    window_.WriteLog(S(kProgramKillFailedStart) + name + S(kKillFailedMiddle) + name + reason);
    return S(kKillFail);
  }
  killed_.push_back(found);
  window_.WriteLog(S(kProgramKilledStart) + name + S(kKilledMiddle) + name + reason);
  window_.Label6[cpu ? 0 : 2].caption = name + S(kKilledTail);
  (cpu ? window_.pgmCPU : window_.pgmMEM).caption = S(kNoValue);
  (cpu ? window_.pgmCPU_count : window_.pgmMEM_Count).caption = "0";
  return S(kKillSuccess);
}

void ProgramMonitor::BackToNormal(Resource resource) {
  const bool cpu = resource == Resource::Cpu;
  const std::string& name = settings_.pgmNameF;
  std::string text = YmdHms(window_.deps().clock.Now()) + " " + name;
  if (cpu) {
    text += " CPU usage back to normal. Now " + name + " CPU usage is " + IntText(cpuValue_) +
            "%. CPU threshold setting is " + IntText(settings_.pgmCPUsetF) + "% for " +
            IntText(settings_.pgmAlertSetF) + " times";
    RecordBackToNormal(resource, text,
                       Send(text, S(kNoCreditsNormalStart) + name + S(kNoCreditsCpuNormalTail)));
    cpu_.notified = false;
  } else {
    text += " Memory usage back to normal. Now " + name + " Memory usage is " +
            IntText(memMegabytes_) + "M(" + ShortestForm(memValue_) +
            "%).Memory threshold setting is " + ShortestForm(settings_.pgmMEMsetF) + "% for " +
            IntText(settings_.pgmAlertSetF) + " times";
    RecordBackToNormal(resource, text,
                       Send(text, S(kNoCreditsNormalStart) + name + S(kNoCreditsMemNormalTail)));
    mem_.notified = false;
  }
}

void ProgramMonitor::RecordBackToNormal(Resource resource, const std::string& text, bool sent) {
  IHistoryRecorder* history = window_.historyRecorder();
  if (history == nullptr) return;
  const bool cpu = resource == Resource::Cpu;
  HistoryEvent event;
  event.kind = HistoryEventKind::BackToNormal;
  event.text = text;
  event.watch = cpu ? HistoryWatch::ProgramCpu : HistoryWatch::ProgramMemory;
  event.value = cpu ? cpuValue_ : memValue_;
  event.top = settings_.pgmNameF;
  event.sent = sent ? SendState::Sent : SendState::LogOnly;
  history->RecordWatchEvent(event);
}

bool ProgramMonitor::Send(std::string text, const std::string& creditLine) {
  // A credits caption that is not a number counts as no credits.
  if (LeadingNumber(Trim(window_.Label7.caption)) <= 0) {
    window_.WriteLog(creditLine);
    return false;
  }
  if (!window_.AlertsGoOut()) return false;
  window_.alertSender()->SendAlert(window_.settings.smsPhone, text);
  return true;
}

void ProgramMonitor::ResetForStart(bool fullReset) {
  cpu_.startTime.clear();
  mem_.startTime.clear();
  cpu_.count = mem_.count = 0;
  // The scan before the stop is no measure of the interval now: the next cycle samples afresh.
  sampler_.Reset();
  if (!fullReset) return;
  ClearAlertFlags();
  // A whole string first: GCC 12 at -O3 reports a false overlap (-Wrestrict) otherwise.
  window_.pgmCPU_count.caption = window_.pgmMEM_Count.caption = std::string("0");
  window_.pgmCPU.caption = window_.pgmMEM.caption = "0%";
}

}  // namespace tarnwick
