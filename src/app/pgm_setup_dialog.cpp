#include "pgm_setup_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialog_widgets.h"
#include "qt_render.h"

namespace tarnwick {
namespace {

template <typename Widget>
Widget* Make(const char* name, QWidget* parent) {
  return Named(new Widget(parent), name);
}

void ApplyBox(const PgmSetupModel::TextBox& box, QLineEdit& widget) {
  ApplyText(box.text, box.enabled, widget);
}

void ApplyCheck(const PgmSetupModel::CheckBox& box, QCheckBox& widget) {
  widget.setText(ToQString(box.caption));
  tarnwick::ApplyCheck(box.value != 0, box.enabled, widget);
}

void ApplyCommand(const Button& button, QPushButton& widget) {
  widget.setText(ToQString(button.caption));
  widget.setEnabled(button.enabled);
}

}  // namespace

PgmSetupDialog::PgmSetupDialog(PgmSetupModel& model, std::function<void()> renderAll,
                               QWidget* parent)
    : QDialog(parent), model_(model), renderAll_(std::move(renderAll)) {
  setObjectName(QStringLiteral("pgmSETUP"));

  pgmMonitorF_ = Make<QCheckBox>("pgmMonitorF", this);
  pgmNameF_ = Make<QLineEdit>("pgmNameF", this);
  pgmCPUsetF_ = Make<QLineEdit>("pgmCPUsetF", this);
  pgmMEMsetF_ = Make<QLineEdit>("pgmMEMsetF", this);
  pgmAlertSetF_ = Make<QLineEdit>("pgmAlertSetF", this);
  pgmKillF_ = Make<QCheckBox>("pgmKillF", this);
  pgmSoundF_ = Make<QCheckBox>("pgmSoundF", this);
  pgmFileSoundF_ = Make<QLineEdit>("pgmFileSoundF", this);
  pgmSelectMusic_ = Make<QPushButton>("pgmSelectMusic", this);
  pgmSave_ = Make<QPushButton>("pgmSave", this);
  pgmCancel_ = Make<QPushButton>("pgmCancel", this);
  // No button is the dialog's default: Enter in a box would click the first of them, the sound
  // file's button.
  for (QPushButton* button : {pgmSelectMusic_, pgmSave_, pgmCancel_}) button->setAutoDefault(false);
  const char* labelNames[] = {"Label1", "Label2", "Label3", "Label4", "Label5"};
  for (int i = 0; i < 5; ++i) labels_[i] = Named(PlainLabel(QString(), this), labelNames[i]);
  // The thresholds and the alert number are short numbers.
  for (QLineEdit* box : {pgmCPUsetF_, pgmMEMsetF_, pgmAlertSetF_}) box->setMaximumWidth(80);
  pgmNameF_->setMinimumWidth(200);

  auto* grid = new QGridLayout;
  grid->addWidget(labels_[0], 0, 0);
  grid->addWidget(pgmNameF_, 0, 1, 1, 2);
  grid->addWidget(labels_[1], 1, 0);
  grid->addWidget(pgmCPUsetF_, 1, 1);
  grid->addWidget(labels_[2], 2, 0);
  grid->addWidget(pgmMEMsetF_, 2, 1);
  grid->addWidget(labels_[3], 3, 0);
  grid->addWidget(pgmAlertSetF_, 3, 1);
  grid->setColumnStretch(2, 1);
  auto* sound = new QHBoxLayout;
  sound->addWidget(labels_[4]);
  sound->addWidget(pgmFileSoundF_, 1);
  sound->addWidget(pgmSelectMusic_);
  auto* commands = new QHBoxLayout;
  commands->addStretch(1);
  commands->addWidget(pgmSave_);
  commands->addWidget(pgmCancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pgmMonitorF_);
  layout->addLayout(grid);
  layout->addWidget(pgmKillF_);
  layout->addWidget(pgmSoundF_);
  layout->addLayout(sound);
  layout->addLayout(commands);

  // Only the user's own changes are events: clicked and textEdited stay silent while Render sets
  // the widgets.
  connect(pgmMonitorF_, &QCheckBox::clicked, this, [this](bool checked) {
    Forward([this, checked] {
      model_.pgmMonitorF.value = checked ? 1 : 0;
      model_.pgmMonitorF_Click();
    });
  });
  connect(pgmKillF_, &QCheckBox::clicked, this,
          [this](bool checked) { Forward([&] { model_.pgmKillF.value = checked ? 1 : 0; }); });
  connect(pgmSoundF_, &QCheckBox::clicked, this,
          [this](bool checked) { Forward([&] { model_.pgmSoundF.value = checked ? 1 : 0; }); });
  const std::pair<QLineEdit*, PgmSetupModel::TextBox*> boxes[] = {
      {pgmNameF_, &model_.pgmNameF},           {pgmCPUsetF_, &model_.pgmCPUsetF},
      {pgmMEMsetF_, &model_.pgmMEMsetF},       {pgmAlertSetF_, &model_.pgmAlertSetF},
      {pgmFileSoundF_, &model_.pgmFileSoundF},
  };
  for (const auto& [widget, box] : boxes) {
    connect(widget, &QLineEdit::textEdited, this,
            [box = box](const QString& text) { box->text = text.toStdString(); });
  }
  pgmNameF_->installEventFilter(this);
  connect(pgmSelectMusic_, &QPushButton::clicked, this,
          [this] { Forward([this] { model_.pgmSelectMusic_Click(); }); });
  connect(pgmSave_, &QPushButton::clicked, this,
          [this] { Forward([this] { model_.pgmSave_Click(); }); });
  connect(pgmCancel_, &QPushButton::clicked, this,
          [this] { Forward([this] { model_.pgmCancel_Click(); }); });
  Render();
}

void PgmSetupDialog::Render() {
  setWindowTitle(ToQString(model_.caption));
  ApplyCheck(model_.pgmMonitorF, *pgmMonitorF_);
  ApplyBox(model_.pgmNameF, *pgmNameF_);
  ApplyBox(model_.pgmCPUsetF, *pgmCPUsetF_);
  ApplyBox(model_.pgmMEMsetF, *pgmMEMsetF_);
  ApplyBox(model_.pgmAlertSetF, *pgmAlertSetF_);
  ApplyCheck(model_.pgmKillF, *pgmKillF_);
  ApplyCheck(model_.pgmSoundF, *pgmSoundF_);
  ApplyBox(model_.pgmFileSoundF, *pgmFileSoundF_);
  ApplyCommand(model_.pgmSelectMusic, *pgmSelectMusic_);
  ApplyCommand(model_.pgmSave, *pgmSave_);
  ApplyCommand(model_.pgmCancel, *pgmCancel_);
  const Label* captions[] = {&model_.Label1, &model_.Label2, &model_.Label3, &model_.Label4,
                             &model_.Label5};
  for (int i = 0; i < 5; ++i) ApplyLabel(*captions[i], *labels_[i]);

  // The model centres the dialog when it loads; the user may move it afterwards.
  const FormGeometry& g = model_.geometry;
  if (g.left != appliedGeometry_.left || g.top != appliedGeometry_.top ||
      g.width != appliedGeometry_.width || g.height != appliedGeometry_.height) {
    setGeometry(g.left, g.top, g.width, g.height);
    appliedGeometry_ = g;
  }
}

void PgmSetupDialog::Forward(const std::function<void()>& handler) {
  handler();
  renderAll_();
}

bool PgmSetupDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == pgmNameF_ && event->type() == QEvent::MouseButtonPress) {
    Forward([this] { model_.pgmNameF_Click(); });
  }
  return QDialog::eventFilter(watched, event);
}

// Escape is a Cancel; QDialog's own would only hide the view, and the next render show it again.
void PgmSetupDialog::reject() {
  Forward([this] { model_.pgmCancel_Click(); });
}

// Closing the dialog from its title bar is a Cancel.
void PgmSetupDialog::closeEvent(QCloseEvent* event) {
  model_.Unload();
  event->accept();
  renderAll_();
}

}  // namespace tarnwick
