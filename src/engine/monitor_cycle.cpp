// The monitor cycle: one CPU and one memory sample, shown on the window and fed to two watches
// that count consecutive samples at or above their thresholds.
#include <cmath>
#include <cstdint>

#include "common/numbers.h"
#include "common/text.h"
#include "common/time_text.h"
#include "forms/main_window_model.h"
#include "engine/history_tally.h"

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
constexpr std::string_view kNotLoggedInTail = "] can not be sent out, please login..";

MetricsWatch MetricsWatchOf(bool cpu) {
  return cpu ? MetricsWatch::Cpu : MetricsWatch::Memory;
}

std::string Num(int64_t value) {
  return std::to_string(value);
}

// Megabytes with one decimal from a KB text ("1573274" is "1536.4").
std::string KbTextToMb(const std::string& kb) {
  return ShortestForm(RoundHalfEvenTo(LeadingNumber(kb) / 1024.0, 1));
}

}  // namespace

void MainWindowModel::Monitor() {
  deps_.ui.DoEvents();
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

  CPU_Progress.Set(sample.cpu);
  lblCPUValue[0].caption = Num(sample.cpu) + " %";
  lblRamValue[0].caption = Num(sample.totalMB);
  lblRamValue[1].caption = Num(availMB);
  lblRamValue[2].caption = Num(usedMB);
  if (sample.totalMB != 0) {
    lblCPUValue[1].caption = Num(sample.mem) + " %";
    RAM_Progress.Set(sample.mem);
  }

  const LocalTime now = deps_.clock.Now();
  const std::string usage = Num(sample.cpu) + "% / " + Num(sample.mem) + "%";
  lastUsageLine = MmDdHhMmSs(now) + " " + settings.host_Name + " CPU / MEMORY usage : " + usage;
  caption = MmDdHhMmSs(now) + " CPU / MEMORY usage " + usage;
  UpdateTray();
  if (history_ != nullptr) history_->RecordCycle(sample.cpu, sample.mem, usedMB);

  RunWatch(WatchKind::Cpu, sample);
  RunWatch(WatchKind::Memory, sample);
  if (cycleObserver_ != nullptr) cycleObserver_->AfterCycle(cycleNumber_);
}

// The watches read the gauges, not the samples: a refused sample (a failed CPU reading, no
// memory total) is judged by the value the gauge kept.
void MainWindowModel::RunWatch(WatchKind kind, const Sample& sample) {
  const bool cpu = kind == WatchKind::Cpu;
  const int gauge = cpu ? CPU_Progress.Value() : RAM_Progress.Value();
  // A threshold that is not a number skips the comparison, and with it the watch.
  const auto threshold = TextToInt16(cpu ? settings.cpu_High : settings.mem_High);
  if (!threshold) return;
  if (gauge >= *threshold) {
    ExceedingSample(kind, sample);
  } else {
    NormalSample(kind, sample);
  }
}

void MainWindowModel::ExceedingSample(WatchKind kind, const Sample& sample) {
  const bool cpu = kind == WatchKind::Cpu;
  WatchState& watch = cpu ? cpuWatch : memWatch;
  Label& valueLabel = lblCPUValue[cpu ? 0 : 1];
  Label& countLabel = cpu ? lblCPU_count : lblmem_Count;
  valueLabel.foreColor = kColorRed;

  if (cpu) RankCpuWithBusyLook();
  if (watch.firstTime.empty()) watch.firstTime = HhMmSs(deps_.clock.Now());
  if (watch.count < INT16_MAX) ++watch.count;
  countLabel.caption = Num(watch.count);
  if (cpu) {
    WriteLog("CPU " + Num(sample.cpu) + "% exceed " + settings.cpu_High + "% for " +
             Num(watch.count) + " times. TOP 1 : " + ranking.cpuTopName + " (" + ranking.cpuTopPct +
             "%)");
    if (history_ != nullptr) {
      history_->RecordTop(TopKind::Cpu, ranking.cpuTopName, 0, LeadingNumber(ranking.cpuTopPct));
    }
  } else {
    ranker_->RankMemoryProcesses(cycleNumber_, ranking);
    ranking.memTopSize = KbTextToMb(ranking.memTopSize);
    if (history_ != nullptr && sample.totalMB != 0) {
      history_->RecordTop(
          TopKind::Memory, ranking.memTopName, 0,
          LeadingNumber(ranking.memTopSize) * 100.0 / static_cast<double>(sample.totalMB));
    }
    WriteLog("MEM " + Num(sample.mem) + "% exceed " + settings.mem_High + "% for " +
             Num(watch.count) + " times. TOP 1 : " + ranking.memTopName + " (" +
             ranking.memTopSize + "M)");
  }
  watch.exceeded = true;
  const TopHistory& tops = cpu ? ranking.cpuTopList : ranking.memTopList;
  if (metrics_ != nullptr && !tops.empty() && !tops.back().name.empty()) {
    metrics_->TopProcess(MetricsWatchOf(cpu), tops.back().name, tops.back().pid);
  }
  PlayWarningSound();

  const auto numHigh = TextToInt16(settings.num_High);
  if (numHigh && watch.count >= *numHigh) RaiseAlert(kind, sample);
}

void MainWindowModel::PlayWarningSound() {
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

void MainWindowModel::RankCpuWithBusyLook() {
  const std::string savedCaption = caption;
  enabled = false;
  caption = std::string(kBusyCaption);
  // The scan takes a while; the busy look must be on the screen before it, not only in the model.
  deps_.ui.ShowNow();
  ranker_->RankCpuProcesses(cycleNumber_, ranking);
  // Restored whether or not the ranking could read the processes.
  enabled = true;
  caption = savedCaption;
}

std::string MainWindowModel::KillTopProcess(const TopHistory& history) {
  if (killer_ != nullptr) return killer_->KillTopProcess(history, settings.KillProc, kill);
  kill.killTried = false;
  kill.killFailFirst = false;
  return TallyHistory(history).text;
}

void MainWindowModel::RaiseAlert(WatchKind kind, const Sample& sample) {
  const bool cpu = kind == WatchKind::Cpu;
  WatchState& watch = cpu ? cpuWatch : memWatch;
  const LocalTime now = deps_.clock.Now();
  const int seconds = SecondsBetween(watch.firstTime, HhMmSs(now)).value_or(0);

  // The process the alert names first, for the history's list of events.
  HistoryEvent event;
  if (history_ != nullptr) {
    event.kind = HistoryEventKind::AlertRaised;
    event.watch = cpu ? HistoryWatch::Cpu : HistoryWatch::Memory;
    event.value = cpu ? sample.cpu : sample.mem;
    event.top = TallyHistory(cpu ? ranking.cpuTopList : ranking.memTopList).top;
  }

  std::string detail;
  if (cpu) {
    const std::string tally = KillTopProcess(ranking.cpuTopList);
    detail = "TOP1 : " + ranking.cpuPeakName + " " + ranking.cpuPeakPct + "% @" +
             ranking.cpuPeakTime + " " + tally;
  } else {
    const std::string tally = KillTopProcess(ranking.memTopList);
    ranking.memPeakSize = KbTextToMb(ranking.memPeakSize);
    std::string share;
    if (sample.totalMB != 0) {
      share = ShortestForm(RoundHalfEvenTo(
          LeadingNumber(ranking.memPeakSize) * 100.0 / static_cast<double>(sample.totalMB), 1));
    }
    detail = "TOP1 : " + ranking.memPeakName + " " + ranking.memPeakSize + "M(" + share + "%) @" +
             ranking.memPeakTime + " " + tally;
  }
  if (kill.killTried && history_ != nullptr) {
    history_->RecordTermination(kill.killedName, kill.killedPid, kill.killResult);
    event.kill = kill.killResult ? KillOutcome::Terminated : KillOutcome::Failed;
    event.pid = kill.killedPid;
  }
  if (metrics_ != nullptr && settings.KillProc == 1) {
    metrics_->Termination(MetricsWatchOf(cpu), !kill.killTried   ? TerminationOutcome::Refused
                                               : kill.killResult ? TerminationOutcome::Succeeded
                                                                 : TerminationOutcome::Failed);
  }
  if (kill.killTried) {
    detail =
        " *" + kill.killedName + " killed(" + (kill.killResult ? "True" : "False") + "). " + detail;
  }
  const std::string alertText = Num(seconds) + " sec.(" + Num(watch.count) + " times)." + detail;

  watch.firstTime.clear();
  (cpu ? ranking.cpuTopList : ranking.memTopList).clear();
  (cpu ? ranking.cpuPeakPct : ranking.memPeakSize) = "0";
  watch.count = 0;
  watch.raised = 1;

  std::string message = MmDdHhMmSs(now) + " " + settings.host_Name;
  if (cpu) {
    message += " CPU " + Num(sample.cpu) + "% exceed " + settings.cpu_High + "% for " + alertText;
  } else {
    message +=
        " MEMORY " + Num(sample.mem) + "% exceed " + settings.mem_High + "% for " + alertText;
  }

  const bool repeat = watch.raised == watch.reported;
  const bool sendAnyway = kill.killTried && (kill.killResult || kill.killFailFirst);
  if (repeat && !sendAnyway) {
    if (kill.killTried) {
      message += std::string(cpu ? kCpuKillFailedAgain : kMemKillFailedAgain);
    } else {
      message += std::string(kNotFirstTime);
    }
    WriteLog(message);
    RecordAlert(std::move(event), message, false);
    if (metrics_ != nullptr) metrics_->AlertRaised(MetricsWatchOf(cpu), false);
    return;
  }
  if (!session.loggedIn) {
    message = std::string(cpu ? kCpuNotLoggedIn : kMemNotLoggedIn) + message +
              std::string(kNotLoggedInTail);
  }
  WriteLog(message);
  const bool send = AlertsGoOut();
  RecordAlert(std::move(event), message, send);
  watch.reported = watch.raised;
  // The dispatcher counts every request it makes: the alert went out when the count moved.
  const int32_t requests = session.requestSeq;
  if (send) alertSender_->SendAlert(settings.smsPhone, message);
  if (metrics_ != nullptr) {
    metrics_->AlertRaised(MetricsWatchOf(cpu), session.requestSeq != requests);
  }
}

void MainWindowModel::RecordAlert(HistoryEvent event, const std::string& message, bool sent) {
  if (history_ == nullptr) return;
  event.text = message;
  event.sent = sent ? SendState::Sent : SendState::LogOnly;
  history_->RecordWatchEvent(event);
}

void MainWindowModel::NormalSample(WatchKind kind, const Sample& sample) {
  const bool cpu = kind == WatchKind::Cpu;
  WatchState& watch = cpu ? cpuWatch : memWatch;
  lblCPUValue[cpu ? 0 : 1].foreColor = kColorBlack;
  watch.count = 0;
  (cpu ? ranking.cpuTopList : ranking.memTopList).clear();
  // A whole string, not a literal: GCC 12 at -O3 reports a false overlap (-Wrestrict) otherwise.
  (cpu ? ranking.cpuPeakPct : ranking.memPeakSize) = std::string("0");
  watch.firstTime.clear();
  watch.raised = 0;

  const std::string name = cpu ? "CPU" : "MEM";
  const int value = cpu ? sample.cpu : sample.mem;
  const std::string normalLine = name + " " + Num(value) + "% back to normal";
  // The history keeps one event for both: the line, and whether the notice went out.
  const bool noticeDue = watch.reported == 1;
  if (watch.exceeded || noticeDue) {
    HistoryEvent event;
    event.kind = HistoryEventKind::BackToNormal;
    event.watch = cpu ? HistoryWatch::Cpu : HistoryWatch::Memory;
    event.value = value;
    RecordAlert(std::move(event), normalLine, noticeDue && AlertsGoOut());
  }
  if (watch.exceeded) {
    WriteLog(normalLine);
    watch.exceeded = false;
  }
  if (noticeDue) {
    const std::string wide = cpu ? "CPU" : "MEMORY";
    std::string message = YmdHms(deps_.clock.Now()) + " " + settings.host_Name + " " + wide + " " +
                          Num(value) + "% back to normal." + wide + " threshold setting is " +
                          (cpu ? settings.cpu_High : settings.mem_High) + "% for " +
                          settings.num_High + " consecutive times";
    if (!session.loggedIn) {
      message = std::string(kNoticeNotLoggedIn) + message + std::string(kNotLoggedInTail);
    }
    WriteLog(message);
    watch.reported = watch.raised;
    if (AlertsGoOut()) alertSender_->SendAlert(settings.smsPhone, message);
  }
  (cpu ? lblCPU_count : lblmem_Count).caption = std::string("0");
}

}  // namespace tarnwick
