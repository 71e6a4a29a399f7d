// The Qt view of the dialog model AlertSettingModel: renders the model's controls and forwards the
// user's events to it. Every widget's objectName is its control's name; the labels that the
// enabling rule of Check2 switches carry the names of AlertSettingEnabled.
#pragma once

#include <QCursor>
#include <QDialog>
#include <functional>

#include "forms/alert_setting_model.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace tarnwick {

// The cursor of a .cur file with the hotspot the file names; Qt's pointing hand when the file
// cannot be read.
QCursor CursorFromFile(const QString& path);

class AlertSettingDialog : public QDialog {
  Q_OBJECT

 public:
  // `renderAll` renders every window after an event, since a dialog's handlers change the main
  // window too. The model must outlive the view.
  AlertSettingDialog(AlertSettingModel& model, std::function<void()> renderAll,
                     QWidget* parent = nullptr);

  // Brings every widget in line with the model.
  void Render();

  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  QLayout* BuildMonitoringFrame();
  QLayout* BuildKillFrame();
  QLayout* BuildSoundFrame();
  QLayout* BuildAlertsFrame();
  void Connect();
  void ConnectBox(QLineEdit* box, std::string AlertSettingModel::*field);
  void ConnectCheck(QCheckBox* box, bool AlertSettingModel::*field,
                    void (AlertSettingModel::*handler)() = nullptr);
  // Runs a model handler and renders every window; ignored while rendering.
  void Forward(const std::function<void()>& handler);
  void Place();

  AlertSettingModel& model_;
  std::function<void()> renderAll_;
  QCursor handCursor_;
  bool rendering_ = false;
  bool placed_ = false;

  QLineEdit *TimeInterval_, *cpu_High_, *mem_High_, *num_High_, *host_Name_, *num_Kill_;
  QLineEdit *filMusic_, *soundFrom_, *soundTo_, *smsEmail_, *smsPassword_, *smsPhone_;
  QLineEdit *Mail_List_, *smsFrom_, *smsTo_;
  QPlainTextEdit* PnameList_;
  QCheckBox *Enable_log_, *KillProc_, *Check5_, *soundOn_, *Check2_, *schAlert_;
  QRadioButton *Killopt_, *noKillopt_;
  QComboBox* max_SMS_;
  QLabel *SMS_Today_, *SMS_Reset_;
  QLabel *lblAccount_, *lblPassword_, *lblSmsAlertTo_, *lblSeparateNote_, *lblCapSms_;
  QLabel *lblMailAlertTo_, *lblAlertHours_, *lblAlertHoursTo_;
  QPushButton *SelMusic_, *SMTPset_, *Save_, *Cancel_;
  QGroupBox* alertsFrame_;
  QFrame* alertHoursFrame_;
};

}  // namespace tarnwick
