// The dialog pgmSETUP (the settings of the program monitor) as a model. To be completed by the
// program monitor work.
#pragma once

#include "monitor/form_controls.h"

namespace tarnwick {

class PgmSetupModel {
 public:
  FormState state() const { return state_; }
  // The mPGMSetup menu command: loads the dialog if needed and shows it (modeless).
  void Show() { state_ = FormState::Shown; }
  void Unload() { state_ = FormState::NotLoaded; }

 private:
  FormState state_ = FormState::NotLoaded;
};

}  // namespace tarnwick
