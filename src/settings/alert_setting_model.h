// The alert settings dialog "Alert  Settings" as a model: the state of its controls and its
// handlers. It can be not loaded, loaded but hidden (the service login and the first-run
// defaults read and fill its boxes), or shown.
#pragma once

#include <string>
#include <string_view>

#include "monitor/form_controls.h"
#include "settings/settings.h"

namespace tarnwick {

// A box holding one of these hints holds no value yet; a hint is recognised by its "*".
inline constexpr std::string_view kPhoneHint = "+1 5550100,+44 7700900000 (*with country code)";
inline constexpr std::string_view kMailListHint = "*Keep Empty if no mail alert need";

class AlertSettingModel {
 public:
  explicit AlertSettingModel(Settings& settings) : settings_(settings) {}

  FormState state() const { return state_; }
  // Brings the dialog into being without showing it; the load step runs only the first time.
  void EnsureLoaded();
  // The Setup menu command: loads the dialog if needed and shows it (modeless).
  void Show() {
    EnsureLoaded();
    state_ = FormState::Shown;
  }
  // Closing by Save or Cancel unloads it: the next load refills every box.
  void Unload() { state_ = FormState::NotLoaded; }

  // Text boxes.
  std::string TimeInterval, cpu_High, mem_High, num_High, host_Name, num_Kill;
  std::string smsEmail, smsPassword, smsPhone, Mail_List;
  // Labels.
  std::string SMS_Today;

 private:
  void Load();

  Settings& settings_;
  FormState state_ = FormState::NotLoaded;
};

bool IsHint(std::string_view text);

}  // namespace tarnwick
