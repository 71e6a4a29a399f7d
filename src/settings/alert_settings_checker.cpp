#include "settings/alert_settings_checker.h"

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/numbers.h"
#include "common/text.h"
#include "settings/mail_address.h"

namespace tarnwick {
namespace {

constexpr std::string_view kTimeIntervalEmpty =
    "Timeinterval value for monitoring can not be empty";
constexpr std::string_view kTimeIntervalRange =
    "Timeinterval value for monitoring must be a whole number from 0 to 32767";
constexpr std::string_view kCpuHighEmpty = "CPU warning threshold can not be empty";
constexpr std::string_view kCpuHighRange =
    "CPU warning threshold must be a whole number from 1 to 100";
constexpr std::string_view kMemHighEmpty = "Memory warning threshold can not be empty";
constexpr std::string_view kMemHighRange =
    "Memory warning threshold must be a whole number from 1 to 100";
constexpr std::string_view kNumHighEmpty =
    "# of Consecutive exceed threshold to send alert can not be empty";
constexpr std::string_view kNumHighRange =
    "# of Consecutive exceed threshold to send alert must be a whole number from 1 to 32767";
constexpr std::string_view kHostNameEmpty =
    "Need input the Host / IP or description for alert message";
constexpr std::string_view kNumKillEmpty =
    "The # of times when it has top CPU or MEMORY occupied can not be empty when the kill process "
    "enabled";
constexpr std::string_view kNumKillRange =
    "The # of times when it has top CPU or MEMORY occupied must be a whole number from 1 to 32767";
constexpr std::string_view kNumKillOverNumHigh =
    "The # of times when it has top CPU or MEMORY occupied should less or equal the # of "
    "consecutive usage exceed threshold setting";
constexpr std::string_view kEmptyKillList =
    "Process name list is empty then it will No process be killed";
constexpr std::string_view kAccountMissing =
    "[Alert enabled] need input [Email account] and [password]";
constexpr std::string_view kPhoneMissing =
    "Need input mobile # in [SMS alert to] field \r\nIt is internation format with country code";
constexpr std::string_view kLoginEmailInvalid = "Login Email Address is invalid !!";
constexpr std::string_view kMailListInvalid =
    "Make it empty or input correct email address on [Mail alert to] field !!";
constexpr std::string_view kSoundHoursStart = "Schedule to play alert sound from the hour ";
constexpr std::string_view kAlertHoursStart = "Schedule to send alert from the hour ";
constexpr std::string_view kHoursMiddle = " to ";
constexpr std::string_view kHoursEnd = " is invalid";

// The limits of the 16-bit counts and of the hours of a day.
constexpr double kMostCount = 32767;
constexpr double kLastHour = 23;

int16_t Flag(bool ticked) {
  return ticked ? 1 : 0;
}

// One refusing report per check; remembers whether any check refused.
class Verdict {
 public:
  explicit Verdict(ISettingCheckReport& report) : report_(report) {}

  void Refuse(std::string_view setting, std::string_view message) {
    report_.Refuse(setting, std::string(message));
    passed_ = false;
  }
  // Anything but Yes refuses the Save, without a message of its own.
  void Ask(std::string_view setting, std::string_view message) {
    if (!report_.Ask(setting, std::string(message))) passed_ = false;
  }
  bool passed() const { return passed_; }

 private:
  ISettingCheckReport& report_;
  bool passed_ = true;
};

// The empty test looks at the text as typed: a box of blanks passes it, and fails the number
// test instead.
void RequireWholeNumber(Verdict& verdict, std::string_view setting, const std::string& box,
                        std::string_view emptyMessage, double least, double most,
                        std::string_view rangeMessage) {
  if (box.empty()) {
    verdict.Refuse(setting, emptyMessage);
  } else if (!IsWholeTextFromTo(box, least, most)) {
    verdict.Refuse(setting, rangeMessage);
  }
}

void CheckKillRule(AlertSettingEntries& e, Verdict& verdict) {
  if (e.num_Kill.empty()) {
    verdict.Refuse("num_Kill", kNumKillEmpty);
    e.num_Kill = e.num_High;
  } else if (const std::optional<double> kill = WholeTextNumber(e.num_Kill); kill && *kill < 1) {
    // Fractions below 1 are refused here too: the kill rule reads 0.5 as a count of 0.
    verdict.Refuse("num_Kill", kNumKillRange);
    e.num_Kill = e.num_High;
  }
  // Letters or blanks in either box can not be compared, and are refused like a count over
  // num_High.
  const std::optional<int16_t> kill = TextToInt16(Trim(e.num_Kill));
  const std::optional<int16_t> high = TextToInt16(Trim(e.num_High));
  if (!kill || !high || *kill > *high) {
    verdict.Refuse("num_Kill", kNumKillOverNumHigh);
    e.num_Kill = e.num_High;
  }
  if (e.Killopt && e.PnameList.empty()) verdict.Ask("PnameList", kEmptyKillList);
}

// Checks 1 to 6: every failure is reported.
bool CheckValues(AlertSettingEntries& e, ISettingCheckReport& report) {
  Verdict verdict(report);
  RequireWholeNumber(verdict, "TimeInterval", e.TimeInterval, kTimeIntervalEmpty, 0, kMostCount,
                     kTimeIntervalRange);
  RequireWholeNumber(verdict, "cpu_High", e.cpu_High, kCpuHighEmpty, 1, 100, kCpuHighRange);
  RequireWholeNumber(verdict, "mem_High", e.mem_High, kMemHighEmpty, 1, 100, kMemHighRange);
  RequireWholeNumber(verdict, "num_High", e.num_High, kNumHighEmpty, 1, kMostCount, kNumHighRange);
  if (e.host_Name.empty()) verdict.Refuse("host_Name", kHostNameEmpty);
  if (e.KillProc) CheckKillRule(e, verdict);
  return verdict.passed();
}

// Checks 7 to 10, for the alerts through the web service: the first failure ends them.
bool CheckAlertSending(AlertSettingEntries& e, ISettingCheckReport& report) {
  if (!e.Enable_alert) return true;
  if (Trim(e.smsEmail).empty() || Trim(e.smsPassword).empty()) {
    report.Refuse(Trim(e.smsEmail).empty() ? "smsEmail" : "smsPassword",
                  std::string(kAccountMissing));
    return false;
  }
  // A hint in smsPhone counts as a value here.
  if (Trim(e.smsPhone).empty()) {
    report.Refuse("smsPhone", std::string(kPhoneMissing));
    return false;
  }
  if (!LooksLikeMailAddress(e.smsEmail)) {
    report.Refuse("smsEmail", std::string(kLoginEmailInvalid));
    e.Enable_alert = false;
    return false;
  }
  if (!Trim(e.Mail_List).empty() && !LooksLikeMailAddress(e.Mail_List)) {
    report.Refuse("Mail_List", std::string(kMailListInvalid));
    return false;
  }
  return true;
}

// A window from..to holds two hours of the day, from first. It cannot wrap past midnight, and
// equal hours make no window.
bool ValidHourWindow(std::string_view from, std::string_view to) {
  if (!IsWholeTextFromTo(from, 0, kLastHour) || !IsWholeTextFromTo(to, 0, kLastHour)) {
    return false;
  }
  return *WholeTextNumber(from) < *WholeTextNumber(to);
}

bool CheckHourWindow(std::string_view setting, std::string_view start, const std::string& from,
                     const std::string& to, ISettingCheckReport& report) {
  if (ValidHourWindow(from, to)) return true;
  // The message shows the hours as typed.
  report.Refuse(
      setting, std::string(start) + from + std::string(kHoursMiddle) + to + std::string(kHoursEnd));
  return false;
}

}  // namespace

void EnterAlertSettings(const AlertSettingEntries& e, Settings& s) {
  s.TimeInterval = TrimCopy(e.TimeInterval);
  s.cpu_High = TrimCopy(e.cpu_High);
  s.mem_High = TrimCopy(e.mem_High);
  s.num_High = TrimCopy(e.num_High);
  s.host_Name = TrimCopy(e.host_Name);
  s.Enable_log = Flag(e.Enable_log);
  s.Enable_alert = Flag(e.Enable_alert);
  s.smsEmail = e.smsEmail;
  s.smsPassword = e.smsPassword;
  s.smsPhone = e.smsPhone;
  s.Mail_List = TrimCopy(e.Mail_List);
  s.max_SMS = e.max_SMS;
  s.schAlert = Flag(e.schAlert);
  s.smsFrom = TrimCopy(e.smsFrom);
  s.smsTo = TrimCopy(e.smsTo);
  s.soundOn = Flag(e.soundOn);
  s.soundFrom = TrimCopy(e.soundFrom);
  s.soundTo = TrimCopy(e.soundTo);
  s.KillProc = Flag(e.KillProc);
  s.num_Kill = TrimCopy(e.num_Kill);
  s.Killopt = e.Killopt;
  s.PnameList = TrimCopy(e.PnameList);
  s.Enable_sound = Flag(e.Enable_sound);
  s.filMusic = e.filMusic;
}

bool CheckAlertSettings(AlertSettingEntries& entries, ISettingCheckReport& report) {
  const bool valuesPassed = CheckValues(entries, report);
  if (!CheckAlertSending(entries, report)) return false;
  if (!CheckHourWindow("soundFrom", kSoundHoursStart, entries.soundFrom, entries.soundTo, report)) {
    return false;
  }
  return CheckHourWindow("smsFrom", kAlertHoursStart, entries.smsFrom, entries.smsTo, report) &&
         valuesPassed;
}

}  // namespace tarnwick
