#include "forms/settings_dialogs.h"

#include "engine/process_control.h"

namespace tarnwick {

SettingsDialogs::SettingsDialogs(FormContext& context) : smtp(context), alert(context, smtp) {
  if (ProcessControl* control = context.engine().processControl()) {
    program = std::make_unique<PgmSetupModel>(context, *control);
  }
}

}  // namespace tarnwick
