#include "picture_samples.h"

#include <string_view>
#include <utility>

#include "domain/history_time.h"
#include "settings/program_settings.h"
#include "settings/settings.h"

namespace tarnwick::pictures {
namespace {

HistoryEvent WatchEvent(int64_t t, HistoryEventKind kind, HistoryWatch watch, double value,
                        std::string top, SendState sent, std::string text) {
  HistoryEvent e;
  e.t = t;
  e.kind = kind;
  e.watch = watch;
  e.value = value;
  e.top = std::move(top);
  e.sent = sent;
  e.text = std::move(text);
  return e;
}

// An alert line names its top process twice: as the top one and as the most often on top.
std::string TwiceNamed(std::string head, const std::string& name, std::string_view middle,
                       std::string_view tail) {
  head += name;
  head += middle;
  head += name;
  head += tail;
  return head;
}

}  // namespace

void WriteSampleSettings(const SampleMachine& machine, SettingsStore& store, IUiServices& ui) {
  Settings s;
  // One-character texts from whole strings (see UseProcessesPictureSettings).
  s.TimeInterval = std::string("5");
  s.cpu_High = "85";
  s.mem_High = "90";
  s.num_High = "10";
  s.host_Name = "WEB01 (web server)";
  s.Enable_log = 1;
  s.KillProc = 1;
  s.num_Kill = std::string("8");
  s.Killopt = true;
  s.PnameList = machine.killList;
  s.Enable_sound = 1;
  s.filMusic = machine.soundFolder + machine.separator + "alert.wav";
  s.soundOn = 1;
  s.soundFrom = std::string("8");
  s.soundTo = "19";
  s.Enable_alert = 1;
  s.smsEmail = "ops@example.org";
  s.smsPassword = "secret";
  s.smsPhone = "+15550100,+447700900123";
  s.Mail_List = "ops@example.org,boss@example.org";
  s.max_SMS = "20";
  s.schAlert = 1;
  s.smsFrom = std::string("7");
  s.smsTo = "22";
  s.Enable_SMTP = 1;
  s.mailSvr = "mail.example.org";
  s.SMTPport = "587";
  s.mailFrom = "monitor@example.org";
  s.MailUser = "monitor@example.org";
  s.MailPass = "smtp-secret";
  s.alive_Email = 1;
  s.min_Select = "60";
  s.mailTo1 = "admin@example.org";
  store.SaveSettings(s, ui);
  store.SaveSMTPSettings(s, ui);
}

void WriteSampleProgramSettings(const SampleMachine& machine, IFileSystem& files,
                                const std::string& folder) {
  ProgramSettings p;
  p.pgmMonitorF = 1;
  p.pgmNameF = machine.watchedProgram;
  p.pgmCPUsetF = 60;
  p.pgmMEMsetF = 25;
  p.pgmAlertSetF = 5;
  p.pgmKillF = 0;
  p.pgmSoundF = 1;
  p.pgmFileSoundF = machine.soundFolder + machine.separator + "alert1.wav";
  files.ReplaceFile(folder + machine.separator + std::string(kProgramSettingFileName),
                    FormatProgramSettingFile(p));
}

int64_t WriteSampleHistory(const SampleMachine& machine, IHistoryStore& store, int64_t now) {
  HistoryBatch b;
  // Whole minutes, so the top lists fall on samples; a day before the last, so that the night
  // is seen whole whenever the picture is taken.
  const int64_t start = (now - 86400) / 60 * 60;
  for (int64_t t = start - 86400; t < now; t += 5) {
    const LocalTime at = FromHistorySeconds(t);
    const int minute = at.hour * 60 + at.minute;
    int cpu = 7 + static_cast<int>((t * 7919) % 9);
    int mem = 52 + static_cast<int>((t / 600) % 5);
    if (minute >= 3 * 60 && minute < 3 * 60 + 25) {
      cpu = 90 + static_cast<int>((t * 31) % 9);
      mem = minute >= 3 * 60 + 5 && minute < 3 * 60 + 16 ? 93 : 74;
    } else if (minute >= 14 * 60 && minute < 14 * 60 + 40) {
      cpu = 50 + static_cast<int>((t * 13) % 25);
      mem = 66;
    }
    b.samples.push_back({t, cpu, mem, mem * 160});
    if (t % 60 == 0) {
      const bool night = minute >= 180 && minute < 205;
      const bool afternoon = minute >= 840 && minute < 880;
      const std::string& top = night       ? machine.backup
                               : afternoon ? machine.afternoon
                                           : machine.daytime;
      b.tops.push_back({t, TopKind::Cpu, 1, top,
                        night       ? 6120
                        : afternoon ? 7344
                                    : 3012,
                        night       ? 86.0
                        : afternoon ? 44.5
                                    : 3.9});
      b.tops.push_back({t, TopKind::Cpu, 2, machine.second, 1116, 1.2});
      b.tops.push_back({t, TopKind::Memory, 1, machine.database, 2204, night ? 38.0 : 29.5});
    }
  }
  // 3 a.m. of the last night that is over, and moments after it.
  int64_t three = start + (3 * 3600 - start % 86400 + 86400) % 86400;
  if (three + 3600 > now) three -= 86400;
  auto at = [three](int minutes, int seconds) { return three + minutes * 60 + seconds; };
  const int64_t alertAt = at(2, 30);
  const std::string& backup = machine.backup;
  const std::string& database = machine.database;
  using K = HistoryEventKind;
  using W = HistoryWatch;
  b.events.push_back({at(-(19 * 60 + 2), 0), K::MonitoringStarted, "Monitoring Started"});
  b.events.push_back(WatchEvent(
      alertAt, K::AlertRaised, W::Cpu, 95, backup, SendState::Sent,
      TwiceNamed(
          "12-04 03:02:30 WEB01 (web server) CPU 95% exceed 85% for 50 sec.(10 times).TOP1 : ",
          backup, " 86% @03:02:25 *", "(10)")));
  b.events.push_back(WatchEvent(
      at(10, 10), K::AlertRaised, W::Memory, 93, database, SendState::Sent,
      TwiceNamed(
          "12-04 03:10:10 WEB01 (web server) MEMORY 93% exceed 90% for 50 sec.(10 times).TOP1 : ",
          database, " 6082.6M(38%) @03:10:05 *", "(10)")));
  b.events.push_back(WatchEvent(
      at(12, 30), K::AlertRaised, W::Cpu, 97, backup, SendState::LogOnly,
      TwiceNamed(
          "12-04 03:12:30 WEB01 (web server) CPU 97% exceed 85% for 50 sec.(10 times).TOP1 : ",
          backup, " 88% @03:12:20 *", "(10) (Not first time,log only)")));
  b.events.push_back(WatchEvent(at(16, 5), K::BackToNormal, W::Memory, 74, "", SendState::Sent,
                                "MEM 74% back to normal"));
  b.events.push_back(WatchEvent(at(25, 5), K::BackToNormal, W::Cpu, 11, "", SendState::Sent,
                                "CPU 11% back to normal"));
  store.Append(b);
  return alertAt;
}

void ShowSampleNight(HistoryWindowModel& history, int64_t alertAt, int64_t now) {
  // A night before the last day is listed on the week's span.
  if (alertAt < now - 86400) history.OnSpanClick(3);
  history.OnZoom(alertAt - 40 * 60, alertAt + 50 * 60);
  for (size_t row = 0; row < history.eventRows.size(); ++row) {
    if (history.eventRows[row].t == alertAt) history.OnEventSelect(static_cast<int>(row));
  }
}

// One-character texts from whole strings: assigned from literals, GCC 12 at -O3 reports a false
// overlap (-Wrestrict) in the inlined copy (also in WriteSampleSettings).
void UseProcessesPictureSettings(Settings& settings) {
  settings.cpu_High = std::string("0");
  settings.mem_High = std::string("0");
  settings.KillProc = 1;
  settings.Killopt = false;
  settings.PnameList.clear();
  settings.num_Kill = std::string("1");
}

}  // namespace tarnwick::pictures
