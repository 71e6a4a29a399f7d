// The alert settings dialog "Alert  Settings" as a model: the state of its controls under their
// names and its handlers. It can be not loaded, loaded but hidden (the service login and the
// first-run defaults read and fill its boxes), or shown. The dialog is modeless: monitoring goes
// on while it is open, and reads the settings record as the last Save left it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "controls/dialog_controls.h"
#include "controls/form_controls.h"
#include "settings/alert_settings_checker.h"
#include "settings/settings.h"

namespace tarnwick {

class FormContext;
class SmtpServerModel;

// A box holding one of these hints holds no value yet; a hint is recognised by its "*".
inline constexpr std::string_view kPhoneHint = "+1 5550100,+44 7700900000 (*with country code)";
inline constexpr std::string_view kMailListHint = "*Keep Empty if no mail alert need";

// The dialog's caption; while a refused Save's entries are in force it ends in kNotSavedTail.
inline constexpr std::string_view kAlertSettingCaption = "Alert  Settings";

// The items of max_SMS, in list order; the first one is what a stored cap outside the list opens
// as.
inline constexpr std::string_view kMaxSmsItems[] = {"9999", "5",  "10", "15", "20", "30",
                                                    "40",   "50", "70", "80", "100"};

// Enabled state of the controls that follow an enabling rule; all others are always enabled.
struct AlertSettingEnabled {
  // Check2's rule: the alerts group. Its labels by caption: "Account", "Password", "SMS alert
  // to", "Separate multiple mobile # or email account by comma (,)", "Cap SMS sending a day to
  // avoid unexpected", "Mail alert to", "Only send alert from the hour" and its "to".
  bool lblAccount = true;
  bool lblPassword = true;
  bool lblSmsAlertTo = true;
  bool lblSeparateNote = true;
  bool lblCapSms = true;
  bool lblMailAlertTo = true;
  bool lblAlertHours = true;
  bool lblAlertHoursTo = true;
  bool SMS_Reset = true;
  bool SMS_Today = true;
  bool smsEmail = true;
  bool smsPassword = true;
  bool max_SMS = true;
  bool smsPhone = true;
  bool Mail_List = true;
  bool schAlert = true;
  bool smsFrom = true;
  bool smsTo = true;
  // KillProc's rule.
  bool num_Kill = true;
  bool Killopt = true;
  bool noKillopt = true;
  bool PnameList = true;
};

// The state of the dialog's controls under their names. A dialog loads with all of them as here
// (boxes empty), then takes the stored settings.
struct AlertSettingControls {
  FormGeometry geometry{0, 0, 1000, 560};
  Pointer pointer = Pointer::Default;
  AlertSettingEnabled enabled;

  // Monitoring.
  std::string TimeInterval, cpu_High, mem_High, num_High, host_Name;
  bool Enable_log = false;
  // Kill.
  bool KillProc = false;
  std::string num_Kill;
  bool Killopt = false;
  bool noKillopt = true;
  std::string PnameList;
  // Sound.
  bool Check5 = false;  // Enable_sound
  std::string filMusic;
  bool soundOn = false;
  std::string soundFrom, soundTo;
  // Alerts.
  bool Check2 = false;  // Enable_alert
  std::string smsEmail, smsPassword, smsPhone, Mail_List;
  ComboBox max_SMS;
  std::string SMS_Today;  // caption of the label
  bool schAlert = false;
  std::string smsFrom, smsTo;
};

class AlertSettingModel : public AlertSettingControls, public DialogForm {
 public:
  // Both outlive the dialog; `smtp` is the dialog its SMTPset button shows.
  AlertSettingModel(FormContext& context, SmtpServerModel& smtp) : context_(context), smtp_(smtp) {}

  // ---- Event handlers ----
  // Checks the boxes; returns true when the checks passed and setting.ini was written: the
  // entries are then in force and the dialog unloaded. A check that refuses the Save puts the
  // entries in force, unsaved, as the boxes held them at the click, and keeps the dialog open. A
  // file that cannot be written changes nothing in force at any moment: the entries come into
  // force only once they are in the file.
  bool OnSaveClick();
  // Cancel, Escape and closing the dialog: a refused Save's entries leave force, and the
  // settings of the last passed Save (or of the start) are back, as a restart would have them.
  void OnCancelClick();
  // The user ticked or cleared Check2 (the new value is already in Check2).
  void OnCheck2Click() { ApplyCheck2Rule(); }
  // The user ticked or cleared KillProc (the new value is already in KillProc).
  void OnKillProcClick() { ApplyKillProcRule(); }
  void OnKilloptClick();
  void OnNoKilloptClick();
  // Lets the user pick the warning sound; the setting changes only on Save.
  void OnSelMusicClick();
  // Sets the count of SMS sent today to 0 at once, without waiting for Save.
  void OnSMS_ResetClick();
  // A click into smsPhone empties the hints of smsPhone and Mail_List.
  void OnSmsPhoneClick();
  void OnSMTPsetClick();
  // The pointer moved over SMS_Reset: the hand. Over the dialog's background, the alerts frame or
  // the alert hour frame: the default pointer.
  void OnSMS_ResetMouseMove() { pointer = Pointer::Hand; }
  void OnBackgroundMouseMove() { pointer = Pointer::Default; }

  // The cursor file shown as the hand pointer: the program's folder + "Hand-m.cur".
  std::string HandCursorPath() const;
  // The first start: the dialog loads (hidden) with the first-run values and the hints.
  void ShowFirstRunValues();
  // Midnight: the day's count is back to 0.
  void OnDayReset();
  // What the boxes hold, as the Save takes them.
  AlertSettingEntries Entries() const;
  // A refused Save's entries are in force in place of the saved settings.
  bool NotSaved() const { return savedInForce_.has_value(); }
  // "Alert  Settings", with kNotSavedTail while NotSaved().
  std::string Caption() const;

 private:
  void Load() override;
  void ApplyCheck2Rule();
  void ApplyKillProcRule();
  class Report;
  void KeepEntriesInForce();

  FormContext& context_;
  SmtpServerModel& smtp_;
  // The boxes as they were at the Save click, until they are in force or the Save has ended.
  std::optional<AlertSettingEntries> entered_;
  // The settings in force just before the first refused Save since the last passed one.
  std::optional<Settings> savedInForce_;
};

bool IsHint(std::string_view text);

}  // namespace tarnwick
