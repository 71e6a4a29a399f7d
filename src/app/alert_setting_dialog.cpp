#include "alert_setting_dialog.h"

#include <QCloseEvent>

namespace tarnwick {

AlertSettingDialog::AlertSettingDialog(AlertSettingModel& model, std::function<void()> renderAll,
                                       QWidget* parent)
    : QDialog(parent), model_(model), renderAll_(std::move(renderAll)) {
  setObjectName(QStringLiteral("AlertSettingDialog"));
  setWindowTitle(QStringLiteral("Alert  Settings"));
}

void AlertSettingDialog::Render() {}

// Closing the dialog from its title bar is a Cancel.
void AlertSettingDialog::closeEvent(QCloseEvent* event) {
  model_.Unload();
  event->accept();
  renderAll_();
}

}  // namespace tarnwick
