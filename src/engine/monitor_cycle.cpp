// The monitor cycle: one CPU and one memory sample, fed to two watches that count consecutive
// samples at or above their thresholds.
#include <cmath>
#include <cstdint>

#include "common/numbers.h"
#include "common/text.h"
#include "common/time_text.h"
#include "engine/alert_dispatcher.h"
#include "engine/engine.h"
#include "engine/history_tally.h"
#include "engine/kill_rules.h"

namespace tarnwick {
namespace {

constexpr std::string_view kNotFirstTime = " (Not first time,log only)";
constexpr std::string_view kCpuKillFailedAgain =
    "(Fail to kill process again. No alert send out. log only)";
constexpr std::string_view kMemKillFailedAgain =
    " (Fail to kill process again. No alert send out. log only)";
constexpr std::string_view kCpuNotLoggedIn = "Not Login alert message [";
constexpr std::string_view kMemNotLoggedIn = "Not login alert message [";
constexpr std::string_view kNoticeNotLoggedIn = "Not login alert message [";
// After the top process's name in an exceed line when the name is the process's own claim.
constexpr std::string_view kClaimedName = " [claimed name]";

Watch WatchOf(bool cpu) {
  return cpu ? Watch::Cpu : Watch::Memory;
}

std::string Num(int64_t value) {
  return std::to_string(value);
}

// Megabytes with one decimal from a KB text ("1573274" is "1536.4").
std::string KbTextToMb(const std::string& kb) {
  return ShortestForm(RoundHalfEvenTo(LeadingNumber(kb) / 1024.0, 1));
}

// A gauge's rule: a value outside 0..100 is refused and the one before stays.
void Keep(int& judged, int value) {
  if (value >= 0 && value <= 100) judged = value;
}

}  // namespace

void Engine::Monitor() {
  if (deps_.events != nullptr) deps_.events->DoEvents();
  ++cycleNumber_;
  Sample sample;
  sample.cpu = cpuSampler_ ? cpuSampler_->Query() : -1;

  GetMemoryInfo();
  sample.totalMB = totalMemory / 1024 / 1024;
  const int64_t availMB =
      static_cast<int64_t>(std::floor(static_cast<double>(availableMemory) / 1024.0 / 1024.0));
  const int64_t usedMB = sample.totalMB - availMB;
  if (sample.totalMB != 0) {
    sample.mem = static_cast<int>(
        std::floor(100.0 * static_cast<double>(usedMB) / static_cast<double>(sample.totalMB)));
  }
  Keep(judgedCpu_, sample.cpu);
  if (sample.totalMB != 0) Keep(judgedMem_, sample.mem);

  const LocalTime now = deps_.clock.Now();
  const std::string usage = Num(sample.cpu) + "% / " + Num(sample.mem) + "%";
  lastUsageLine = MmDdHhMmSs(now) + " " + settings.host_Name + " CPU / MEMORY usage : " + usage;
  const SampleResult result{cycleNumber_, now,    sample.cpu, sample.mem, sample.totalMB,
                            availMB,      usedMB, judgedCpu_, judgedMem_};
  Announce([&](IEngineListener& l) { l.OnSample(result); });

  RunWatch(WatchKind::Cpu, sample);
  RunWatch(WatchKind::Memory, sample);
  AnnounceKillPick(WatchKind::Cpu);
  AnnounceKillPick(WatchKind::Memory);
  Announce([&](IEngineListener& l) { l.OnWatchesDone({cycleNumber_}); });
}

// The watches judge the kept values, not the samples: a refused sample (a failed CPU reading, no
// memory total) is judged by the value kept from before.
void Engine::RunWatch(WatchKind kind, const Sample& sample) {
  const bool cpu = kind == WatchKind::Cpu;
  const int judged = cpu ? judgedCpu_ : judgedMem_;
  // A threshold that is not a number skips the comparison, and with it the watch.
  const auto threshold = TextToInt16(cpu ? settings.cpu_High : settings.mem_High);
  if (!threshold) return;
  if (judged >= *threshold) {
    ExceedingSample(kind, sample);
  } else {
    NormalSample(kind, sample);
  }
}

void Engine::ExceedingSample(WatchKind kind, const Sample& sample) {
  const bool cpu = kind == WatchKind::Cpu;
  WatchState& watch = cpu ? cpuWatch : memWatch;
  const TopHistory& tops = cpu ? ranking.cpuTopList : ranking.memTopList;
  const size_t ranked = tops.size();

  if (cpu) {
    RankCpu();
  } else {
    ranker_->RankMemoryProcesses(cycleNumber_, ranking);
  }
  // A ranking that could not read the processes added no sample: the latest one it named stands.
  const bool rankedNow = tops.size() > ranked;
  const std::string claimed =
      rankedNow && tops.back().nameClaimed ? std::string(kClaimedName) : std::string();
  if (watch.firstTime.empty()) watch.firstTime = HhMmSs(deps_.clock.Now());
  if (watch.count < INT16_MAX) ++watch.count;
  std::string line;
  if (cpu) {
    line = "CPU " + Num(sample.cpu) + "% exceed " + settings.cpu_High + "% for " +
           Num(watch.count) + " times. TOP 1 : " + ranking.cpuTopName + claimed + " (" +
           ranking.cpuTopPct + "%)";
  } else {
    ranking.memTopSize = KbTextToMb(ranking.memTopSize);
    if (sample.totalMB != 0 && !ranking.memTopList.empty()) {
      ranking.memTopList.back().share =
          LeadingNumber(ranking.memTopSize) * 100.0 / static_cast<double>(sample.totalMB);
    }
    line = "MEM " + Num(sample.mem) + "% exceed " + settings.mem_High + "% for " +
           Num(watch.count) + " times. TOP 1 : " + ranking.memTopName + claimed + " (" +
           ranking.memTopSize + "M)";
  }
  WriteLog(line);
  watch.exceeded = true;
  ExceedingResult result;
  result.watch = WatchOf(cpu);
  result.value = cpu ? sample.cpu : sample.mem;
  result.count = watch.count;
  if (rankedNow) {
    result.top = tops.back();
  } else {
    result.top.name = ranking.cpuTopName;
    result.top.share = LeadingNumber(ranking.cpuTopPct);
  }
  result.shareKnown = cpu || sample.totalMB != 0;
  result.runTop = TallyHistory(tops).chosen;
  result.line = line;
  Announce([&](IEngineListener& l) { l.OnExceeding(result); });
  PlayWarningSound();

  const auto numHigh = TextToInt16(settings.num_High);
  if (numHigh && watch.count >= *numHigh) RaiseAlert(kind, sample);
}

void Engine::PlayWarningSound() {
  if (settings.Enable_sound != 1) return;
  if (settings.soundOn != 0) {
    const int hour = deps_.clock.Now().hour;
    const auto from = TextToInt16(settings.soundFrom);
    const auto to = TextToInt16(settings.soundTo);
    // The window never wraps past midnight; hours that are not numbers make no window.
    if (!from || !to || !(hour >= *from && hour <= *to)) {
      WriteLog("No alert sound playing.Current hour is " + Num(hour) +
               ", this is not in the defined time window " + settings.soundFrom + "-" +
               settings.soundTo);
      return;
    }
  }
  PlayAlertSound(settings.filMusic);
}

void Engine::RankCpu() {
  // The scan takes a while: a window shows its busy look first.
  Announce([](IEngineListener& l) { l.OnBusy({true}); });
  ranker_->RankCpuProcesses(cycleNumber_, ranking);
  // Over whether or not the ranking could read the processes.
  Announce([](IEngineListener& l) { l.OnBusy({false}); });
}

std::string Engine::KillTopProcess(const TopHistory& history) {
  if (killer_ != nullptr) return killer_->KillTopProcess(history, settings.KillProc, kill);
  kill.killTried = false;
  kill.killFailFirst = false;
  return TallyHistory(history).text;
}

void Engine::AnnounceKillPick(WatchKind kind) {
  const bool cpu = kind == WatchKind::Cpu;
  const TopHistory& history = cpu ? ranking.cpuTopList : ranking.memTopList;
  const HistoryTally tally = TallyHistory(history);
  // The cycle's own scan when it took one: the pick costs no scan of its own.
  const ProcessSnapshot* scan = processSampler_.Taken(cycleNumber_);
  const ProcessInfo* running = nullptr;
  if (scan != nullptr && !tally.top.empty()) {
    for (const ProcessInfo& p : scan->processes) {
      if (p.pid == tally.chosen.pid && p.startTicks == tally.chosen.startTicks) running = &p;
    }
  }
  const KillPickResult result{
      WatchOf(cpu), JudgeKill(KillRulesOf(settings, settings.KillProc, deps_.system.OwnProcessId()),
                              history, tally, running)};
  Announce([&](IEngineListener& l) { l.OnKillPick(result); });
}

void Engine::RaiseAlert(WatchKind kind, const Sample& sample) {
  const bool cpu = kind == WatchKind::Cpu;
  WatchState& watch = cpu ? cpuWatch : memWatch;
  const LocalTime now = deps_.clock.Now();
  const int seconds = SecondsBetween(watch.firstTime, HhMmSs(now)).value_or(0);
  TopHistory& tops = cpu ? ranking.cpuTopList : ranking.memTopList;

  AlertResult result;
  result.watch = WatchOf(cpu);
  result.value = cpu ? sample.cpu : sample.mem;
  result.samples = watch.count;
  result.seconds = seconds;
  const HistoryTally tally = TallyHistory(tops);
  result.top = tally.chosen;

  std::string detail;
  if (cpu) {
    result.tally = KillTopProcess(tops);
    detail = "TOP1 : " + ranking.cpuPeakName + " " + ranking.cpuPeakPct + "% @" +
             ranking.cpuPeakTime + " " + result.tally;
  } else {
    result.tally = KillTopProcess(tops);
    ranking.memPeakSize = KbTextToMb(ranking.memPeakSize);
    std::string share;
    if (sample.totalMB != 0) {
      share = ShortestForm(RoundHalfEvenTo(
          LeadingNumber(ranking.memPeakSize) * 100.0 / static_cast<double>(sample.totalMB), 1));
    }
    detail = "TOP1 : " + ranking.memPeakName + " " + ranking.memPeakSize + "M(" + share + "%) @" +
             ranking.memPeakTime + " " + result.tally;
  }
  if (settings.KillProc == 1) {
    result.termination = !kill.killTried   ? TerminationOutcome::Refused
                         : kill.killResult ? TerminationOutcome::Succeeded
                                           : TerminationOutcome::Failed;
  }
  if (kill.killTried) {
    result.killedName = kill.killedName;
    result.killedPid = kill.killedPid;
    const TerminationResult termination{
        WatchOf(cpu), kill.killedName, kill.killedPid, kill.killResult, {}};
    Announce([&](IEngineListener& l) { l.OnTermination(termination); });
    detail =
        " *" + kill.killedName + " killed(" + (kill.killResult ? "True" : "False") + "). " + detail;
  }
  const std::string alertText = Num(seconds) + " sec.(" + Num(watch.count) + " times)." + detail;

  watch.firstTime.clear();
  tops.clear();
  (cpu ? ranking.cpuPeakPct : ranking.memPeakSize) = "0";
  watch.count = 0;
  watch.raised = 1;

  Outgoing out;
  out.message = MmDdHhMmSs(now) + " " + settings.host_Name;
  if (cpu) {
    out.message +=
        " CPU " + Num(sample.cpu) + "% exceed " + settings.cpu_High + "% for " + alertText;
  } else {
    out.message +=
        " MEMORY " + Num(sample.mem) + "% exceed " + settings.mem_High + "% for " + alertText;
  }
  const bool sendAnyway = kill.killTried && (kill.killResult || kill.killFailFirst);
  out.repeat = watch.raised == watch.reported && !sendAnyway;
  out.repeatTail =
      kill.killTried ? (cpu ? kCpuKillFailedAgain : kMemKillFailedAgain) : kNotFirstTime;
  out.notLoggedInStart = cpu ? kCpuNotLoggedIn : kMemNotLoggedIn;
  result.dispatch = DispatchAlert(*this, out);
  if (result.dispatch != DispatchOutcome::Repeat) watch.reported = watch.raised;
  result.message = out.logged;
  Announce([&](IEngineListener& l) { l.OnAlert(result); });
}

void Engine::NormalSample(WatchKind kind, const Sample& sample) {
  const bool cpu = kind == WatchKind::Cpu;
  WatchState& watch = cpu ? cpuWatch : memWatch;
  watch.count = 0;
  (cpu ? ranking.cpuTopList : ranking.memTopList).clear();
  // A whole string, not a literal: GCC 12 at -O3 reports a false overlap (-Wrestrict) otherwise.
  (cpu ? ranking.cpuPeakPct : ranking.memPeakSize) = std::string("0");
  watch.firstTime.clear();
  watch.raised = 0;

  const int value = cpu ? sample.cpu : sample.mem;
  Announce([&](IEngineListener& l) { l.OnNormalSample({WatchOf(cpu), value}); });
  const bool noticeDue = watch.reported == 1;
  if (!watch.exceeded && !noticeDue) return;

  BackToNormalResult result;
  result.watch = WatchOf(cpu);
  result.value = value;
  result.line = std::string(cpu ? "CPU" : "MEM") + " " + Num(value) + "% back to normal";
  result.noticeDue = noticeDue;
  if (watch.exceeded) {
    WriteLog(result.line);
    watch.exceeded = false;
  }
  if (noticeDue) {
    const std::string wide = cpu ? "CPU" : "MEMORY";
    Outgoing out;
    out.message = YmdHms(deps_.clock.Now()) + " " + settings.host_Name + " " + wide + " " +
                  Num(value) + "% back to normal." + wide + " threshold setting is " +
                  (cpu ? settings.cpu_High : settings.mem_High) + "% for " + settings.num_High +
                  " consecutive times";
    out.notLoggedInStart = kNoticeNotLoggedIn;
    watch.reported = watch.raised;
    result.dispatch = DispatchAlert(*this, out);
  }
  Announce([&](IEngineListener& l) { l.OnBackToNormal(result); });
}

}  // namespace tarnwick
