// The dialog SMTPserver ("SMTP server setting") as a model. To be completed by the settings
// dialogs work.
#pragma once

#include "monitor/form_controls.h"

namespace tarnwick {

class MainWindowModel;

class SmtpServerModel {
 public:
  explicit SmtpServerModel(MainWindowModel& window) : window_(window) {}

  FormState state() const { return state_; }
  // The SMTPsetup menu command and the alert dialog's SMTPset button: load if needed and show.
  void Show() { state_ = FormState::Shown; }
  void Unload() { state_ = FormState::NotLoaded; }

 private:
  [[maybe_unused]] MainWindowModel& window_;
  FormState state_ = FormState::NotLoaded;
};

}  // namespace tarnwick
