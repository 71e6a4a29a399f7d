// The Qt view of the dialog model SmtpServerModel: renders the model's controls and forwards the
// user's events to it. Every widget's objectName is its control's name.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "forms/smtp_server_model.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarnwick {

class SmtpServerDialog : public QDialog {
  Q_OBJECT

 public:
  // `renderAll` renders every window after an event, since a dialog's handlers change the main
  // window too. The model must outlive the view.
  SmtpServerDialog(SmtpServerModel& model, std::function<void()> renderAll,
                   QWidget* parent = nullptr);

  // Brings every widget in line with the model.
  void Render();

  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Connect();
  void ConnectBox(QLineEdit* box, std::string SmtpServerModel::*field,
                  void (SmtpServerModel::*handler)() = nullptr);
  // Runs a model handler and renders every window; ignored while rendering.
  void Forward(const std::function<void()>& handler);
  void Place();

  SmtpServerModel& model_;
  std::function<void()> renderAll_;
  bool rendering_ = false;
  bool placed_ = false;

  QComboBox* PublicSMTP_;
  QLineEdit *mailSvr_, *mailFrom_, *SMTPport_, *MailUser_, *MailPass_, *min_Select_, *mailTo1_;
  QCheckBox *Check1_, *alive_Email_;
  QPushButton *Command2_, *Save_, *Cancel_;
};

}  // namespace tarnwick
