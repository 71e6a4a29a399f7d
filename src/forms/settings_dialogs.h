// The three settings dialogs of a program, as the File menu opens them: the alert settings, the
// SMTP server and, where the program can terminate processes, the program monitor.
#pragma once

#include <memory>

#include "forms/alert_setting_model.h"
#include "forms/form_context.h"
#include "forms/pgm_setup_model.h"
#include "forms/smtp_server_model.h"

namespace tarnwick {

class SettingsDialogs {
 public:
  // The context outlives the dialogs.
  explicit SettingsDialogs(FormContext& context);

  SmtpServerModel smtp;
  AlertSettingModel alert;
  // Null where the engine has no process control.
  std::unique_ptr<PgmSetupModel> program;
};

}  // namespace tarnwick
