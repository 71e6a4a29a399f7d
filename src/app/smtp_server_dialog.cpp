#include "smtp_server_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "dialog_widgets.h"

namespace tarnwick {

namespace {

constexpr char kLabel8[] = "Select server or use your own and update below";
constexpr char kMailSvrLabel[] = "SMTP server";
constexpr char kMailFromLabel[] = "Mail from";
constexpr char kPortLabel[] = "Port";
constexpr char kUsernameLabel[] = "Username";
constexpr char kPasswordLabel[] = "Password";
constexpr char kCheck1Caption[] =
    "Enable sending mail alerts via second SMTP server at the same time";
constexpr char kAliveCaption[] = "I am alive notice. Mail you latest log via above SMTP server";
constexpr char kLabel5[] = "Schedule to mail latest log on every";
constexpr char kLabel12[] = "minutes (>=1)";
constexpr char kLabel6[] = "Mail to";
constexpr char kSaveCaption[] = "Save";
constexpr char kCancelCaption[] = "Cancel";

QPushButton* PushButton(const char* caption, const char* name, QWidget* parent) {
  auto* button = Named(new QPushButton(QString::fromUtf8(caption), parent), name);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

SmtpServerDialog::SmtpServerDialog(SmtpServerModel& model, std::function<void()> renderAll,
                                   QWidget* parent)
    : QDialog(parent), model_(model), renderAll_(std::move(renderAll)) {
  setObjectName(QStringLiteral("SMTPserver"));
  setWindowTitle(ToQString(model_.Caption()));

  PublicSMTP_ = Named(new QComboBox(this), "PublicSMTP");
  mailSvr_ = Named(new QLineEdit(this), "mailSvr");
  mailFrom_ = Named(new QLineEdit(this), "mailFrom");
  SMTPport_ = Named(new QLineEdit(this), "SMTPport");
  MailUser_ = Named(new QLineEdit(this), "MailUser");
  MailPass_ = Named(new QLineEdit(this), "MailPass");
  MaskWithStars(*MailPass_);
  Check1_ = Named(new QCheckBox(QString::fromUtf8(kCheck1Caption), this), "Check1");
  Command2_ = PushButton("", "Command2", this);
  alive_Email_ = Named(new QCheckBox(QString::fromUtf8(kAliveCaption), this), "alive_Email");
  min_Select_ = Named(new QLineEdit(this), "min_Select");
  mailTo1_ = Named(new QLineEdit(this), "mailTo1");
  Save_ = PushButton(kSaveCaption, "Save", this);
  Cancel_ = PushButton(kCancelCaption, "Cancel", this);

  const int digit = SMTPport_->fontMetrics().horizontalAdvance(QLatin1Char('0'));
  // Wide enough for either caption, so the button does not jump while a test mail goes out.
  Command2_->setMinimumWidth(
      std::max(
          Command2_->fontMetrics().horizontalAdvance(ToQString(std::string(kSendTestMailCaption))),
          Command2_->fontMetrics().horizontalAdvance(ToQString(std::string(kTestingCaption)))) +
      digit * 4);
  SMTPport_->setFixedWidth(digit * 6 + 12);
  min_Select_->setFixedWidth(digit * 5 + 12);
  mailSvr_->setMinimumWidth(digit * 32);

  auto* server = new QGridLayout;
  auto* preset = new QHBoxLayout;
  preset->addWidget(Named(Text(kLabel8, this), "Label8"));
  preset->addWidget(PublicSMTP_);
  preset->addStretch(1);
  server->addLayout(preset, 0, 0, 1, 2);
  const std::pair<const char*, QLineEdit*> rows[] = {{kMailSvrLabel, mailSvr_},
                                                     {kMailFromLabel, mailFrom_},
                                                     {kPortLabel, SMTPport_},
                                                     {kUsernameLabel, MailUser_},
                                                     {kPasswordLabel, MailPass_}};
  int row = 1;
  for (const auto& [label, box] : rows) {
    server->addWidget(Text(label, this), row, 0);
    server->addWidget(box, row, 1, box == SMTPport_ ? Qt::AlignLeft : Qt::Alignment());
    ++row;
  }
  server->setColumnStretch(1, 1);

  auto* test = new QHBoxLayout;
  test->addWidget(Check1_, 1);
  test->addWidget(Command2_);

  auto* minutes = new QHBoxLayout;
  minutes->addWidget(Named(Text(kLabel5, this), "Label5"));
  minutes->addWidget(min_Select_);
  minutes->addWidget(Named(Text(kLabel12, this), "Label12"));
  minutes->addStretch(1);
  auto* mailTo = new QHBoxLayout;
  mailTo->addWidget(Named(Text(kLabel6, this), "Label6"));
  mailTo->addWidget(mailTo1_, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(Save_);
  buttons->addWidget(Cancel_);

  auto* whole = new QVBoxLayout(this);
  whole->addLayout(server);
  whole->addSpacing(6);
  whole->addLayout(test);
  whole->addSpacing(6);
  whole->addWidget(alive_Email_);
  whole->addLayout(minutes);
  whole->addLayout(mailTo);
  whole->addStretch(1);
  whole->addLayout(buttons);
  Connect();
}

void SmtpServerDialog::Forward(const std::function<void()>& handler) {
  if (rendering_) return;
  handler();
  renderAll_();
}

void SmtpServerDialog::ConnectBox(QLineEdit* box, std::string SmtpServerModel::*field,
                                  void (SmtpServerModel::*handler)()) {
  connect(box, &QLineEdit::textEdited, this, [this, field, handler](const QString& text) {
    Forward([this, field, handler, &text] {
      model_.*field = text.toStdString();
      if (handler != nullptr) (model_.*handler)();
    });
  });
}

void SmtpServerDialog::Connect() {
  using M = SmtpServerModel;
  ConnectBox(mailSvr_, &M::mailSvr);
  ConnectBox(mailFrom_, &M::mailFrom);
  ConnectBox(SMTPport_, &M::SMTPport);
  ConnectBox(MailUser_, &M::MailUser, &M::OnMailUserChange);
  ConnectBox(MailPass_, &M::MailPass);
  ConnectBox(min_Select_, &M::min_Select);
  ConnectBox(mailTo1_, &M::mailTo1);
  connect(PublicSMTP_, &QComboBox::activated, this,
          [this](int index) { Forward([this, index] { model_.OnPublicSMTPClick(index); }); });
  connect(Check1_, &QCheckBox::clicked, this, [this](bool checked) {
    Forward([this, checked] {
      model_.Check1 = checked;
      model_.OnCheck1Click();
    });
  });
  connect(alive_Email_, &QCheckBox::clicked, this,
          [this](bool checked) { Forward([this, checked] { model_.alive_Email = checked; }); });
  connect(Command2_, &QPushButton::clicked, this,
          [this] { Forward([this] { model_.OnCommand2Click(); }); });
  connect(Save_, &QPushButton::clicked, this,
          [this] { Forward([this] { model_.OnSaveClick(); }); });
  connect(Cancel_, &QPushButton::clicked, this,
          [this] { Forward([this] { model_.OnCancelClick(); }); });
}

// The model centres its form on the screen; the view keeps that centre for its own size.
void SmtpServerDialog::Place() {
  if (placed_) return;
  placed_ = true;
  adjustSize();
  const FormGeometry& g = model_.geometry;
  move(g.left + (g.width - width()) / 2, g.top + (g.height - height()) / 2);
}

void SmtpServerDialog::Render() {
  rendering_ = true;
  const SmtpServerModel& m = model_;
  const QString caption = ToQString(m.Caption());
  if (windowTitle() != caption) setWindowTitle(caption);
  const SmtpServerEnabled& e = m.enabled;
  ApplyCombo(m.PublicSMTP, *PublicSMTP_);
  ApplyText(m.mailSvr, e.mailSvr, *mailSvr_);
  ApplyText(m.mailFrom, e.mailFrom, *mailFrom_);
  ApplyText(m.SMTPport, e.SMTPport, *SMTPport_);
  ApplyText(m.MailUser, e.MailUser, *MailUser_);
  ApplyText(m.MailPass, e.MailPass, *MailPass_);
  ApplyCheck(m.Check1, true, *Check1_);
  const QString testCaption = ToQString(m.Command2.caption);
  if (Command2_->text() != testCaption) Command2_->setText(testCaption);
  Command2_->setEnabled(m.Command2.enabled);
  ApplyCheck(m.alive_Email, e.alive_Email, *alive_Email_);
  ApplyText(m.min_Select, e.min_Select, *min_Select_);
  ApplyText(m.mailTo1, e.mailTo1, *mailTo1_);
  Place();
  rendering_ = false;
}

// Escape is a Cancel.
void SmtpServerDialog::reject() {
  Forward([this] { model_.OnCancelClick(); });
}

// Closing the dialog from its title bar is a Cancel: a refused Save's entries leave force too.
void SmtpServerDialog::closeEvent(QCloseEvent* event) {
  model_.OnCancelClick();
  event->accept();
  renderAll_();
}

}  // namespace tarnwick
