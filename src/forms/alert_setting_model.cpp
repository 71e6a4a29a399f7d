#include "forms/alert_setting_model.h"

#include <optional>

#include "common/numbers.h"
#include "common/text.h"
#include "forms/form_context.h"
#include "forms/smtp_server_model.h"
#include "settings/mail_address.h"

namespace tarnwick {

namespace {

constexpr std::string_view kSentTodayCaption = "Sent Today : ";
constexpr std::string_view kHandCursorFile = "Hand-m.cur";

// The settings' alert fields as the dialog's boxes would hold them: entered again, they are the
// same settings.
AlertSettingEntries EntriesOf(const Settings& s) {
  AlertSettingEntries e;
  e.TimeInterval = s.TimeInterval;
  e.cpu_High = s.cpu_High;
  e.mem_High = s.mem_High;
  e.num_High = s.num_High;
  e.host_Name = s.host_Name;
  e.Enable_log = s.Enable_log == 1;
  e.KillProc = s.KillProc == 1;
  e.num_Kill = s.num_Kill;
  e.Killopt = s.Killopt;
  e.PnameList = s.PnameList;
  e.Enable_sound = s.Enable_sound == 1;
  e.filMusic = s.filMusic;
  e.soundOn = s.soundOn == 1;
  e.soundFrom = s.soundFrom;
  e.soundTo = s.soundTo;
  e.Enable_alert = s.Enable_alert == 1;
  e.smsEmail = s.smsEmail;
  e.smsPassword = s.smsPassword;
  e.smsPhone = s.smsPhone;
  e.Mail_List = s.Mail_List;
  e.max_SMS = s.max_SMS;
  e.schAlert = s.schAlert == 1;
  e.smsFrom = s.smsFrom;
  e.smsTo = s.smsTo;
  return e;
}

}  // namespace

bool IsHint(std::string_view text) {
  return Contains(text, "*");
}

std::string AlertSettingModel::HandCursorPath() const {
  ISystemInfo& system = context_.engine().deps().system;
  return system.ProgramFolder() + system.PathSeparator() + std::string(kHandCursorFile);
}

void AlertSettingModel::ShowFirstRunValues() {
  EnsureLoaded();
  const Settings& s = context_.engine().settings;
  smsPhone = std::string(kPhoneHint);
  Mail_List = std::string(kMailListHint);
  TimeInterval = s.TimeInterval;
  mem_High = s.mem_High;
  cpu_High = s.cpu_High;
  num_High = s.num_High;
  host_Name = s.host_Name;
  num_Kill = s.num_Kill;
}

void AlertSettingModel::OnDayReset() {
  EnsureLoaded();
  SMS_Today = "SMS Sent Today : 0";
}

AlertSettingEntries AlertSettingModel::Entries() const {
  AlertSettingEntries e;
  e.TimeInterval = TimeInterval;
  e.cpu_High = cpu_High;
  e.mem_High = mem_High;
  e.num_High = num_High;
  e.host_Name = host_Name;
  e.Enable_log = Enable_log;
  e.KillProc = KillProc;
  e.num_Kill = num_Kill;
  e.Killopt = Killopt;
  e.PnameList = PnameList;
  e.Enable_sound = Check5;
  e.filMusic = filMusic;
  e.soundOn = soundOn;
  e.soundFrom = soundFrom;
  e.soundTo = soundTo;
  e.Enable_alert = Check2;
  e.smsEmail = smsEmail;
  e.smsPassword = smsPassword;
  e.smsPhone = smsPhone;
  e.Mail_List = Mail_List;
  e.max_SMS = max_SMS.Text();
  e.schAlert = schAlert;
  e.smsFrom = smsFrom;
  e.smsTo = smsTo;
  return e;
}

void AlertSettingModel::Load() {
  const Settings& s = context_.engine().settings;
  // A dialog comes into being with empty boxes: hints and unsaved input of an earlier showing
  // are gone.
  static_cast<AlertSettingControls&>(*this) = AlertSettingControls{};
  context_.CenterForm(geometry);

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
  if (const std::optional<std::string> chosen = context_.PickSoundFile()) filMusic = *chosen;
}

// A disabled control takes no click: with alert sending off the day's count stays, or the daily
// cap could be undone from a greyed-out label.
void AlertSettingModel::OnSMS_ResetClick() {
  if (!enabled.SMS_Reset) return;
  context_.engine().ResetSmsCount();
  SMS_Today = std::string(kSentTodayCaption) + "0";
}

void AlertSettingModel::OnSmsPhoneClick() {
  if (!enabled.smsPhone || !IsHint(smsPhone)) return;
  smsPhone.clear();
  if (IsHint(Mail_List)) Mail_List.clear();
}

void AlertSettingModel::OnSMTPsetClick() {
  smtp_.Show();
}

// A check's refusal puts the entries in force (once per Save) before its message box; a
// question answered with anything but Yes refuses without a box of its own.
class AlertSettingModel::Report final : public ISettingCheckReport {
 public:
  explicit Report(AlertSettingModel& dialog) : dialog_(dialog) {}
  void Refuse(std::string_view setting, const std::string& message) override {
    dialog_.KeepEntriesInForce();
    dialog_.context_.TellRefusal(setting, message);
  }
  bool Ask(std::string_view setting, const std::string& message) override {
    if (dialog_.context_.AskYesNo(setting, message)) return true;
    dialog_.KeepEntriesInForce();
    return false;
  }

 private:
  AlertSettingModel& dialog_;
};

bool AlertSettingModel::OnSaveClick() {
  // A check may change a box (num_Kill, Check2) after its message; what comes into force is what
  // the user entered.
  AlertSettingEntries checked = Entries();
  entered_ = checked;
  Report report(*this);
  const bool passed = CheckAlertSettings(checked, report);
  num_Kill = checked.num_Kill;
  if (Check2 != checked.Enable_alert) {
    Check2 = checked.Enable_alert;
    ApplyCheck2Rule();
  }
  if (!passed) {
    KeepEntriesInForce();
    return false;
  }
  const AlertSettingEntries entered = *std::move(entered_);
  entered_.reset();
  // A file that is not written leaves the dialog open with the user's entries for another try.
  if (!context_.engine().SaveSettings([&entered](Settings& s) { EnterAlertSettings(entered, s); },
                                      context_.ui())) {
    return false;
  }
  savedInForce_.reset();
  Unload();
  return true;
}

void AlertSettingModel::OnCancelClick() {
  Unload();
  if (!savedInForce_) return;
  // Entered again rather than copied whole: what changed meanwhile (the day's SMS count, the
  // SMTP settings) stays.
  EnterAlertSettings(EntriesOf(*savedInForce_), context_.engine().settings);
  savedInForce_.reset();
  context_.AnnounceSettingsInForce();
}

std::string AlertSettingModel::Caption() const {
  std::string caption(kAlertSettingCaption);
  if (NotSaved()) caption += kNotSavedTail;
  return caption;
}

void AlertSettingModel::KeepEntriesInForce() {
  if (!entered_) return;
  Settings& inForce = context_.engine().settings;
  if (!savedInForce_) savedInForce_ = inForce;
  EnterAlertSettings(*entered_, inForce);
  entered_.reset();
  context_.AnnounceSettingsInForce();
}

}  // namespace tarnwick
