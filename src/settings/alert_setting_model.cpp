#include "settings/alert_setting_model.h"

#include "common/text.h"

namespace tarnwick {

bool IsHint(std::string_view text) {
  return Contains(text, "*");
}

void AlertSettingModel::EnsureLoaded() {
  if (state_ != FormState::NotLoaded) return;
  state_ = FormState::LoadedHidden;
  Load();
}

void AlertSettingModel::Load() {
  smsEmail = settings_.smsEmail;
  smsPassword = settings_.smsPassword;
  if (!IsHint(smsPhone)) smsPhone = settings_.smsPhone;
  TimeInterval = settings_.TimeInterval;
  cpu_High = settings_.cpu_High;
  mem_High = settings_.mem_High;
  num_High = settings_.num_High;
  host_Name = settings_.host_Name;
  num_Kill = settings_.num_Kill;
  if (!IsHint(Mail_List)) Mail_List = settings_.Mail_List;
  SMS_Today = "Sent Today : " + std::to_string(settings_.smsSentToday);
}

}  // namespace tarnwick
