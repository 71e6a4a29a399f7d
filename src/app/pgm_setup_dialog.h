// The Qt view of the dialog model PgmSetupModel: renders the model's controls and forwards the
// user's events to it. Every widget's objectName is the name of its control in the model.
#pragma once

#include <QDialog>
#include <functional>

#include "controls/form_controls.h"
#include "forms/pgm_setup_model.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarnwick {

class PgmSetupDialog : public QDialog {
  Q_OBJECT

 public:
  // `renderAll` renders every window after an event, since a dialog's handlers change the main
  // window too. The model must outlive the view.
  PgmSetupDialog(PgmSetupModel& model, std::function<void()> renderAll, QWidget* parent = nullptr);

  // Brings every widget in line with the model.
  void Render();

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* event) override;
  // A click into the name box is the model's pgmNameF_Click.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Runs a model handler, then renders every window.
  void Forward(const std::function<void()>& handler);

  PgmSetupModel& model_;
  std::function<void()> renderAll_;
  FormGeometry appliedGeometry_{-1, -1, -1, -1};

  QCheckBox* pgmMonitorF_ = nullptr;
  QLineEdit* pgmNameF_ = nullptr;
  QLineEdit* pgmCPUsetF_ = nullptr;
  QLineEdit* pgmMEMsetF_ = nullptr;
  QLineEdit* pgmAlertSetF_ = nullptr;
  QCheckBox* pgmKillF_ = nullptr;
  QCheckBox* pgmSoundF_ = nullptr;
  QLineEdit* pgmFileSoundF_ = nullptr;
  QPushButton* pgmSelectMusic_ = nullptr;
  QPushButton* pgmSave_ = nullptr;
  QPushButton* pgmCancel_ = nullptr;
  QLabel* labels_[5] = {};
};

}  // namespace tarnwick
