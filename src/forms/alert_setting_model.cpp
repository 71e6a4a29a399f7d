#include "forms/alert_setting_model.h"

#include <optional>

#include "forms/smtp_server_model.h"
#include "common/numbers.h"
#include "common/text.h"
#include "settings/mail_address.h"
#include "forms/main_window_model.h"

namespace tarnwick {

namespace {

constexpr std::string_view kSentTodayCaption = "Sent Today : ";
constexpr std::string_view kHandCursorFile = "Hand-m.cur";

// The check table of Save, in check order.
constexpr std::string_view kTimeIntervalEmpty =
    "Timeinterval value for monitoring can not be empty";
constexpr std::string_view kCpuHighEmpty = "CPU warning threshold can not be empty";
constexpr std::string_view kMemHighEmpty = "Memory warning threshold can not be empty";
constexpr std::string_view kNumHighEmpty =
    "# of Consecutive exceed threshold to send alert can not be empty";
constexpr std::string_view kHostNameEmpty =
    "Need input the Host / IP or description for alert message";
constexpr std::string_view kNumKillEmpty =
    "The # of times when it has top CPU or MEMORY occupied can not be empty when the kill process "
    "enabled";
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

int16_t Flag(bool ticked) {
  return ticked ? 1 : 0;
}

// An hour window from..to is valid when both texts are whole numbers and from comes first. It
// cannot wrap past midnight, and equal hours make no window.
bool ValidHourWindow(std::string_view from, std::string_view to) {
  const std::optional<int16_t> first = TextToInt16(Trim(from));
  const std::optional<int16_t> last = TextToInt16(Trim(to));
  return first && last && *first < *last;
}

// The boxes as the settings hold them: the numbers, hours and lists trimmed, the account and
// phone as typed.
void EnterSettings(const AlertSettingControls& boxes, Settings& s) {
  s.TimeInterval = TrimCopy(boxes.TimeInterval);
  s.cpu_High = TrimCopy(boxes.cpu_High);
  s.mem_High = TrimCopy(boxes.mem_High);
  s.num_High = TrimCopy(boxes.num_High);
  s.host_Name = TrimCopy(boxes.host_Name);
  s.Enable_log = Flag(boxes.Enable_log);
  s.Enable_alert = Flag(boxes.Check2);
  s.smsEmail = boxes.smsEmail;
  s.smsPassword = boxes.smsPassword;
  s.smsPhone = boxes.smsPhone;
  s.Mail_List = TrimCopy(boxes.Mail_List);
  s.max_SMS = boxes.max_SMS.Text();
  s.schAlert = Flag(boxes.schAlert);
  s.smsFrom = TrimCopy(boxes.smsFrom);
  s.smsTo = TrimCopy(boxes.smsTo);
  s.soundOn = Flag(boxes.soundOn);
  s.soundFrom = TrimCopy(boxes.soundFrom);
  s.soundTo = TrimCopy(boxes.soundTo);
  s.KillProc = Flag(boxes.KillProc);
  s.num_Kill = TrimCopy(boxes.num_Kill);
  s.Killopt = boxes.Killopt;
  s.PnameList = TrimCopy(boxes.PnameList);
  s.Enable_sound = Flag(boxes.Check5);
  s.filMusic = boxes.filMusic;
}

}  // namespace

bool IsHint(std::string_view text) {
  return Contains(text, "*");
}

std::string AlertSettingModel::HandCursorPath() const {
  MainWindowDeps& deps = window_.deps();
  return deps.system.ProgramFolder() + deps.system.PathSeparator() + std::string(kHandCursorFile);
}

void AlertSettingModel::Load() {
  const Settings& s = window_.settings;
  // A dialog comes into being with empty boxes: hints and unsaved input of an earlier showing
  // are gone.
  static_cast<AlertSettingControls&>(*this) = AlertSettingControls{};
  window_.CenterForm(geometry);

  Check2 = s.Enable_alert == 1;
  Enable_log = s.Enable_log == 1;
  smsEmail = s.smsEmail;
  smsPassword = s.smsPassword;
  smsPhone = s.smsPhone;
  TimeInterval = s.TimeInterval;
  cpu_High = s.cpu_High;
  mem_High = s.mem_High;
  num_High = s.num_High;
  host_Name = s.host_Name;
  KillProc = s.KillProc == 1;
  num_Kill = s.num_Kill;
  Killopt = s.Killopt;
  noKillopt = !s.Killopt;
  PnameList = TrimCopy(s.PnameList);
  Mail_List = s.Mail_List;

  SMS_Today = std::string(kSentTodayCaption) + std::to_string(s.smsSentToday);

  max_SMS.items.assign(std::begin(kMaxSmsItems), std::end(kMaxSmsItems));
  max_SMS.listIndex = 0;
  max_SMS.Select(s.max_SMS);

  Check5 = s.Enable_sound == 1;
  filMusic = s.filMusic;
  schAlert = s.schAlert == 1;
  smsFrom = s.smsFrom;
  smsTo = s.smsTo;
  soundOn = s.soundOn == 1;
  soundFrom = s.soundFrom;
  soundTo = s.soundTo;

  ApplyCheck2Rule();
  // The kill controls open in line with KillProc too, rather than enabled until the first click.
  ApplyKillProcRule();
}

void AlertSettingModel::ApplyCheck2Rule() {
  const bool on = Check2;
  AlertSettingEnabled& e = enabled;
  e.lblAccount = e.lblPassword = e.lblSmsAlertTo = e.lblSeparateNote = e.lblCapSms = on;
  e.lblMailAlertTo = e.lblAlertHours = e.lblAlertHoursTo = on;
  e.SMS_Reset = e.SMS_Today = e.smsEmail = e.smsPassword = e.max_SMS = on;
  e.smsPhone = e.Mail_List = e.schAlert = e.smsFrom = e.smsTo = on;
  max_SMS.enabled = on;
  if (!on) schAlert = false;
}

void AlertSettingModel::ApplyKillProcRule() {
  enabled.num_Kill = enabled.Killopt = enabled.noKillopt = enabled.PnameList = KillProc;
}

void AlertSettingModel::OnKilloptClick() {
  Killopt = true;
  noKillopt = false;
}

void AlertSettingModel::OnNoKilloptClick() {
  Killopt = false;
  noKillopt = true;
}

void AlertSettingModel::OnSelMusicClick() {
  if (const std::optional<std::string> chosen = window_.PickSoundFile()) filMusic = *chosen;
}

// A disabled control takes no click: with alert sending off the day's count stays, or the daily
// cap could be undone from a greyed-out label.
void AlertSettingModel::OnSMS_ResetClick() {
  if (!enabled.SMS_Reset) return;
  window_.settings.smsSentToday = 0;
  SMS_Today = std::string(kSentTodayCaption) + "0";
}

void AlertSettingModel::OnSmsPhoneClick() {
  if (!enabled.smsPhone || !IsHint(smsPhone)) return;
  smsPhone.clear();
  if (IsHint(Mail_List)) Mail_List.clear();
}

void AlertSettingModel::OnSMTPsetClick() {
  window_.smtpServer().Show();
}

bool AlertSettingModel::OnSaveClick() {
  // A check may change a box (num_Kill, Check2) after its message; what comes into force is what
  // the user entered.
  entered_ = static_cast<const AlertSettingControls&>(*this);
  if (!RunChecks()) {
    KeepEntriesInForce();
    return false;
  }
  const AlertSettingControls entered = *std::move(entered_);
  entered_.reset();
  // A file that is not written leaves the dialog open with the user's entries for another try.
  if (!window_.SaveSettings([&entered](Settings& s) { EnterSettings(entered, s); })) return false;
  Unload();
  return true;
}

void AlertSettingModel::KeepEntriesInForce() {
  if (!entered_) return;
  EnterSettings(*entered_, window_.settings);
  entered_.reset();
}

void AlertSettingModel::Refuse(std::string_view message) {
  KeepEntriesInForce();
  window_.deps().ui.MessageBox(std::string(message), MessageButtons::Ok,
                               std::string(kDialogMessageTitle));
}

// Checks 1 to 6 report every failure; a failure among 7 to 10 ends the checking; 11 and 12 run
// whatever the alert and sound switches say.
bool AlertSettingModel::RunChecks() {
  bool passed = RunValueChecks();
  if (!RunAlertChecks()) return false;
  return RunHourChecks() && passed;
}

// Checks 1 to 6. The empty tests look at the text as typed: a box of blanks passes them.
bool AlertSettingModel::RunValueChecks() {
  bool passed = true;
  const auto require = [&](const std::string& box, std::string_view message) {
    if (!box.empty()) return;
    Refuse(message);
    passed = false;
  };
  require(TimeInterval, kTimeIntervalEmpty);
  require(cpu_High, kCpuHighEmpty);
  require(mem_High, kMemHighEmpty);
  require(num_High, kNumHighEmpty);
  require(host_Name, kHostNameEmpty);
  if (!KillProc) return passed;

  if (num_Kill.empty()) {
    Refuse(kNumKillEmpty);
    num_Kill = num_High;
    passed = false;
  }
  // Letters or blanks in either box can not be compared, and are refused like a count over
  // num_High.
  const std::optional<int16_t> kill = TextToInt16(Trim(num_Kill));
  const std::optional<int16_t> high = TextToInt16(Trim(num_High));
  if (!kill || !high || *kill > *high) {
    Refuse(kNumKillOverNumHigh);
    num_Kill = num_High;
    passed = false;
  }
  if (Killopt && PnameList.empty()) {
    const MessageAnswer answer = window_.deps().ui.MessageBox(
        std::string(kEmptyKillList), MessageButtons::YesNo, std::string(kDialogMessageTitle));
    if (answer != MessageAnswer::Yes) {
      KeepEntriesInForce();
      passed = false;
    }
  }
  return passed;
}

// Checks 7 to 10, for the alerts through the web service.
bool AlertSettingModel::RunAlertChecks() {
  if (!Check2) return true;
  if (Trim(smsEmail).empty() || Trim(smsPassword).empty()) {
    Refuse(kAccountMissing);
    return false;
  }
  // A hint in smsPhone counts as a value here.
  if (Trim(smsPhone).empty()) {
    Refuse(kPhoneMissing);
    return false;
  }
  if (!LooksLikeMailAddress(smsEmail)) {
    Refuse(kLoginEmailInvalid);
    Check2 = false;
    ApplyCheck2Rule();
    return false;
  }
  if (!Trim(Mail_List).empty() && !LooksLikeMailAddress(Mail_List)) {
    Refuse(kMailListInvalid);
    return false;
  }
  return true;
}

// Checks 11 and 12: a bad sound window skips the alert window's check.
bool AlertSettingModel::RunHourChecks() {
  if (!ValidHourWindow(soundFrom, soundTo)) {
    Refuse(std::string(kSoundHoursStart) + soundFrom + std::string(kHoursMiddle) + soundTo +
           std::string(kHoursEnd));
    return false;
  }
  if (!ValidHourWindow(smsFrom, smsTo)) {
    Refuse(std::string(kAlertHoursStart) + smsFrom + std::string(kHoursMiddle) + smsTo +
           std::string(kHoursEnd));
    return false;
  }
  return true;
}

}  // namespace tarnwick
