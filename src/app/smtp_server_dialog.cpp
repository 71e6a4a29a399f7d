#include "smtp_server_dialog.h"

#include <QCloseEvent>

namespace tarnwick {

SmtpServerDialog::SmtpServerDialog(SmtpServerModel& model, std::function<void()> renderAll,
                                   QWidget* parent)
    : QDialog(parent), model_(model), renderAll_(std::move(renderAll)) {
  setObjectName(QStringLiteral("SmtpServerDialog"));
  setWindowTitle(QStringLiteral("SMTP server setting"));
}

void SmtpServerDialog::Render() {}

// Closing the dialog from its title bar is a Cancel.
void SmtpServerDialog::closeEvent(QCloseEvent* event) {
  model_.Unload();
  event->accept();
  renderAll_();
}

}  // namespace tarnwick
