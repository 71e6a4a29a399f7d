#include "pgm_setup_dialog.h"

#include <QCloseEvent>

namespace tarnwick {

PgmSetupDialog::PgmSetupDialog(PgmSetupModel& model, std::function<void()> renderAll,
                               QWidget* parent)
    : QDialog(parent), model_(model), renderAll_(std::move(renderAll)) {
  setObjectName(QStringLiteral("PgmSetupDialog"));
  setWindowTitle(QStringLiteral("Setup to monitor a specific program"));
}

void PgmSetupDialog::Render() {}

// Closing the dialog from its title bar is a Cancel.
void PgmSetupDialog::closeEvent(QCloseEvent* event) {
  model_.Unload();
  event->accept();
  renderAll_();
}

}  // namespace tarnwick
