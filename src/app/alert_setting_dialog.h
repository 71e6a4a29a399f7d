// The Qt view of the dialog model AlertSettingModel: renders the model's controls and forwards the
// user's events to it. To be completed by the dialogs work.
#pragma once

#include <QDialog>
#include <functional>

#include "settings/alert_setting_model.h"

namespace tarnwick {

class AlertSettingDialog : public QDialog {
  Q_OBJECT

 public:
  // `renderAll` renders every window after an event, since a dialog's handlers change the main
  // window too. The model must outlive the view.
  AlertSettingDialog(AlertSettingModel& model, std::function<void()> renderAll,
                     QWidget* parent = nullptr);

  // Brings every widget in line with the model.
  void Render();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  AlertSettingModel& model_;
  std::function<void()> renderAll_;
};

}  // namespace tarnwick
