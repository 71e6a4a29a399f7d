#include "alert_setting_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "dialog_widgets.h"

namespace tarnwick {

namespace {

// Monitoring.
constexpr char kTimeIntervalLabel[] = "Time interval for monitoring";
constexpr char kSecondsLabel[] = "seconds";
constexpr char kCpuHighLabel[] = "CPU warning threshold (%)";
constexpr char kMemHighLabel[] = "Memory warning threshold (%)";
constexpr char kPercentLabel[] = "%";
constexpr char kNumHighLabel[] = "# of consecutive usage exceed threshold to trigger alert sending";
constexpr char kHostNameLabel[] = "Host / IP or description on alert message";
constexpr char kEnableLogCaption[] = "Save log to file";
// Kill.
constexpr char kKillProcCaption[] =
    "Kill the top CPU or MEMORY usage process at the time when alert is sending ";
constexpr char kNumKillLabel[] = "Kill when it has top CPU or MEMORY occupied over";
constexpr char kTimesLabel[] = "times";
constexpr char kKilloptCaption[] = "Kill if in below list";
constexpr char kNoKilloptCaption[] = "No kill if in below list or owner is Services";
constexpr char kPnameListLabel[] = "Process name List";
constexpr char kPnameListNote[] = "Separate by ,";
// Sound.
constexpr char kCheck5Caption[] =
    "Play warning sound every time the usage exceed the threshold limit";
constexpr char kFilMusicLabel[] = "Sound file name";
constexpr char kSelMusicCaption[] = ".....";
constexpr char kSoundOnCaption[] = "Only play sound in the time window from the hour";
constexpr char kToLabel[] = "to";
// Alerts.
constexpr char kCheck2Caption[] = "Enable sending alerts";
constexpr char kAccountLabel[] = "Account";
constexpr char kPasswordLabel[] = "Password";
constexpr char kSmsAlertToLabel[] = "SMS alert to";
constexpr char kSeparateNote[] = "Separate multiple mobile # or email account by comma (,)";
constexpr char kMailAlertToLabel[] = "Mail alert to";
constexpr char kCapSmsLabel[] = "Cap SMS sending a day to avoid unexpected";
constexpr char kResetCaption[] = "Click to Reset";
constexpr char kSchAlertCaption[] = "Define time window to send SMS / Mail notification";
constexpr char kAlertHoursLabel[] = "Only send alert from the hour";
constexpr char kSMTPsetCaption[] =
    "Setup your own or public SMTP server as 2nd server to send mail alert at the same time";
constexpr char kSaveCaption[] = "Save";
constexpr char kCancelCaption[] = "Cancel";

// Offsets in an ICO/CUR file: the type (2 for a cursor), the count of images, and the hotspot
// of the first image's directory entry. All little-endian 16-bit values.
constexpr int kCurTypeOffset = 2;
constexpr int kCurCountOffset = 4;
constexpr int kCurHotspotXOffset = 10;
constexpr int kCurHotspotYOffset = 12;
constexpr int kCurHeaderSize = 22;
constexpr int kCursorFileType = 2;

// A box for a few digits: hours, counts, percentages.
QLineEdit* NumberBox(const char* name, QWidget* parent) {
  auto* box = Named(new QLineEdit(parent), name);
  box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
  return box;
}

QLineEdit* WideBox(const char* name, QWidget* parent) {
  auto* box = Named(new QLineEdit(parent), name);
  box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 24);
  return box;
}

// A frame without a title that groups controls, as the dialog's frames do.
QGroupBox* Frame(const char* name, QWidget* parent) {
  auto* frame = Named(new QGroupBox(parent), name);
  return frame;
}

int U16At(const QByteArray& data, int at) {
  return static_cast<unsigned char>(data[at]) | static_cast<unsigned char>(data[at + 1]) << 8;
}

}  // namespace

QCursor CursorFromFile(const QString& path) {
  QFile file(path);
  if (file.open(QIODevice::ReadOnly)) {
    const QByteArray head = file.read(kCurHeaderSize);
    if (head.size() == kCurHeaderSize && U16At(head, kCurTypeOffset) == kCursorFileType &&
        U16At(head, kCurCountOffset) >= 1) {
      // Qt's ICO reader takes the CUR container too.
      const QPixmap image(path, "ICO");
      if (!image.isNull()) {
        return QCursor(image, U16At(head, kCurHotspotXOffset), U16At(head, kCurHotspotYOffset));
      }
    }
  }
  return QCursor(Qt::PointingHandCursor);
}

AlertSettingDialog::AlertSettingDialog(AlertSettingModel& model, std::function<void()> renderAll,
                                       QWidget* parent)
    : QDialog(parent),
      model_(model),
      renderAll_(std::move(renderAll)),
      handCursor_(CursorFromFile(ToQString(model.HandCursorPath()))) {
  setObjectName(QStringLiteral("alertSetting"));
  setWindowTitle(ToQString(model_.Caption()));
  setMouseTracking(true);

  auto* columns = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  left->addLayout(BuildMonitoringFrame());
  left->addLayout(BuildKillFrame(), 1);
  auto* right = new QVBoxLayout;
  right->addLayout(BuildSoundFrame());
  right->addLayout(BuildAlertsFrame(), 1);
  columns->addLayout(left, 1);
  columns->addLayout(right, 1);

  Save_ = Named(new QPushButton(QString::fromUtf8(kSaveCaption), this), "Save");
  Cancel_ = Named(new QPushButton(QString::fromUtf8(kCancelCaption), this), "Cancel");
  Save_->setAutoDefault(false);
  Cancel_->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(Save_);
  buttons->addWidget(Cancel_);

  auto* whole = new QVBoxLayout(this);
  whole->addLayout(columns, 1);
  whole->addLayout(buttons);
  Connect();
}

// Wrapped in a one-widget layout so that the columns can give the frames their stretch.
QLayout* AlertSettingDialog::BuildMonitoringFrame() {
  QGroupBox* frame = Frame("monitoringFrame", this);
  auto* grid = new QGridLayout(frame);
  TimeInterval_ = NumberBox("TimeInterval", frame);
  cpu_High_ = NumberBox("cpu_High", frame);
  mem_High_ = NumberBox("mem_High", frame);
  num_High_ = NumberBox("num_High", frame);
  host_Name_ = WideBox("host_Name", frame);
  Enable_log_ = Named(new QCheckBox(QString::fromUtf8(kEnableLogCaption), frame), "Enable_log");

  grid->addWidget(Text(kTimeIntervalLabel, frame), 0, 0);
  grid->addWidget(TimeInterval_, 0, 1);
  grid->addWidget(Text(kSecondsLabel, frame), 0, 2);
  grid->addWidget(Text(kCpuHighLabel, frame), 1, 0);
  grid->addWidget(cpu_High_, 1, 1);
  grid->addWidget(Text(kPercentLabel, frame), 1, 2);
  grid->addWidget(Text(kMemHighLabel, frame), 2, 0);
  grid->addWidget(mem_High_, 2, 1);
  grid->addWidget(Text(kPercentLabel, frame), 2, 2);
  QLabel* numHigh = Text(kNumHighLabel, frame);
  numHigh->setWordWrap(true);
  grid->addWidget(numHigh, 3, 0);
  grid->addWidget(num_High_, 3, 1);
  grid->addWidget(Text(kHostNameLabel, frame), 4, 0, 1, 3);
  grid->addWidget(host_Name_, 5, 0, 1, 3);
  grid->addWidget(Enable_log_, 6, 0, 1, 3);
  grid->setColumnStretch(0, 1);

  auto* holder = new QVBoxLayout;
  holder->addWidget(frame);
  return holder;
}

QLayout* AlertSettingDialog::BuildKillFrame() {
  QGroupBox* frame = Frame("killFrame", this);
  auto* column = new QVBoxLayout(frame);
  KillProc_ =
      Named(new QCheckBox(QString::fromUtf8(kKillProcCaption).trimmed(), frame), "KillProc");
  column->addWidget(KillProc_);

  num_Kill_ = NumberBox("num_Kill", frame);
  auto* over = new QHBoxLayout;
  over->addWidget(Text(kNumKillLabel, frame));
  over->addWidget(num_Kill_);
  over->addWidget(Text(kTimesLabel, frame));
  over->addStretch(1);
  column->addLayout(over);

  Killopt_ = Named(new QRadioButton(QString::fromUtf8(kKilloptCaption), frame), "Killopt");
  noKillopt_ = Named(new QRadioButton(QString::fromUtf8(kNoKilloptCaption), frame), "noKillopt");
  column->addWidget(Killopt_);
  column->addWidget(noKillopt_);

  auto* listHeading = new QHBoxLayout;
  listHeading->addWidget(Text(kPnameListLabel, frame));
  listHeading->addStretch(1);
  listHeading->addWidget(Text(kPnameListNote, frame));
  column->addLayout(listHeading);
  PnameList_ = Named(new QPlainTextEdit(frame), "PnameList");
  PnameList_->setTabChangesFocus(true);
  PnameList_->setMinimumHeight(PnameList_->fontMetrics().lineSpacing() * 3 + 12);
  column->addWidget(PnameList_, 1);

  auto* holder = new QVBoxLayout;
  holder->addWidget(frame);
  return holder;
}

QLayout* AlertSettingDialog::BuildSoundFrame() {
  QGroupBox* frame = Frame("soundFrame", this);
  auto* column = new QVBoxLayout(frame);
  Check5_ = Named(new QCheckBox(QString::fromUtf8(kCheck5Caption), frame), "Check5");
  column->addWidget(Check5_);

  filMusic_ = WideBox("filMusic", frame);
  SelMusic_ = Named(new QPushButton(QString::fromUtf8(kSelMusicCaption), frame), "SelMusic");
  SelMusic_->setAutoDefault(false);
  auto* file = new QHBoxLayout;
  file->addWidget(Text(kFilMusicLabel, frame));
  file->addWidget(filMusic_, 1);
  file->addWidget(SelMusic_);
  column->addLayout(file);

  soundOn_ = Named(new QCheckBox(QString::fromUtf8(kSoundOnCaption), frame), "soundOn");
  soundFrom_ = NumberBox("soundFrom", frame);
  soundTo_ = NumberBox("soundTo", frame);
  auto* window = new QHBoxLayout;
  window->addWidget(soundOn_);
  window->addWidget(soundFrom_);
  window->addWidget(Text(kToLabel, frame));
  window->addWidget(soundTo_);
  window->addStretch(1);
  column->addLayout(window);

  auto* holder = new QVBoxLayout;
  holder->addWidget(frame);
  return holder;
}

QLayout* AlertSettingDialog::BuildAlertsFrame() {
  alertsFrame_ = Frame("alertsFrame", this);
  QGroupBox* frame = alertsFrame_;
  frame->setMouseTracking(true);
  auto* grid = new QGridLayout(frame);
  Check2_ = Named(new QCheckBox(QString::fromUtf8(kCheck2Caption), frame), "Check2");
  grid->addWidget(Check2_, 0, 0, 1, 4);

  lblAccount_ = Named(Text(kAccountLabel, frame), "lblAccount");
  lblPassword_ = Named(Text(kPasswordLabel, frame), "lblPassword");
  smsEmail_ = WideBox("smsEmail", frame);
  smsPassword_ = WideBox("smsPassword", frame);
  MaskWithStars(*smsPassword_);
  grid->addWidget(lblAccount_, 1, 0);
  grid->addWidget(smsEmail_, 1, 1, 1, 3);
  grid->addWidget(lblPassword_, 2, 0);
  grid->addWidget(smsPassword_, 2, 1, 1, 3);

  lblSmsAlertTo_ = Named(Text(kSmsAlertToLabel, frame), "lblSmsAlertTo");
  smsPhone_ = WideBox("smsPhone", frame);
  lblSeparateNote_ = Named(Text(kSeparateNote, frame), "lblSeparateNote");
  grid->addWidget(lblSmsAlertTo_, 3, 0);
  grid->addWidget(smsPhone_, 3, 1, 1, 3);
  grid->addWidget(lblSeparateNote_, 4, 1, 1, 3);

  lblMailAlertTo_ = Named(Text(kMailAlertToLabel, frame), "lblMailAlertTo");
  Mail_List_ = WideBox("Mail_List", frame);
  grid->addWidget(lblMailAlertTo_, 5, 0);
  grid->addWidget(Mail_List_, 5, 1, 1, 3);

  lblCapSms_ = Named(Text(kCapSmsLabel, frame), "lblCapSms");
  max_SMS_ = Named(new QComboBox(frame), "max_SMS");
  auto* cap = new QHBoxLayout;
  cap->addWidget(lblCapSms_);
  cap->addWidget(max_SMS_);
  cap->addStretch(1);
  grid->addLayout(cap, 6, 0, 1, 4);

  SMS_Today_ = Named(PlainLabel(QString(), frame), "SMS_Today");
  SMS_Reset_ = Named(Text(kResetCaption, frame), "SMS_Reset");
  SMS_Reset_->setMouseTracking(true);
  QFont underlined = SMS_Reset_->font();
  underlined.setUnderline(true);
  SMS_Reset_->setFont(underlined);
  auto* today = new QHBoxLayout;
  today->addWidget(SMS_Today_);
  today->addSpacing(12);
  today->addWidget(SMS_Reset_);
  today->addStretch(1);
  grid->addLayout(today, 7, 0, 1, 4);

  schAlert_ = Named(new QCheckBox(QString::fromUtf8(kSchAlertCaption), frame), "schAlert");
  grid->addWidget(schAlert_, 8, 0, 1, 4);

  alertHoursFrame_ = Named(new QFrame(frame), "alertHoursFrame");
  alertHoursFrame_->setMouseTracking(true);
  lblAlertHours_ = Named(Text(kAlertHoursLabel, alertHoursFrame_), "lblAlertHours");
  lblAlertHoursTo_ = Named(Text(kToLabel, alertHoursFrame_), "lblAlertHoursTo");
  smsFrom_ = NumberBox("smsFrom", alertHoursFrame_);
  smsTo_ = NumberBox("smsTo", alertHoursFrame_);
  auto* hours = new QHBoxLayout(alertHoursFrame_);
  hours->setContentsMargins(0, 0, 0, 0);
  hours->addWidget(lblAlertHours_);
  hours->addWidget(smsFrom_);
  hours->addWidget(lblAlertHoursTo_);
  hours->addWidget(smsTo_);
  hours->addStretch(1);
  grid->addWidget(alertHoursFrame_, 9, 0, 1, 4);

  SMTPset_ = Named(new QPushButton(QString::fromUtf8(kSMTPsetCaption), frame), "SMTPset");
  SMTPset_->setAutoDefault(false);
  // Some air around the long caption, which styles otherwise draw edge to edge.
  SMTPset_->setMinimumWidth(SMTPset_->sizeHint().width() +
                            SMTPset_->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 4);
  grid->addWidget(SMTPset_, 10, 0, 1, 4);
  grid->setRowStretch(11, 1);
  grid->setColumnStretch(3, 1);

  auto* holder = new QVBoxLayout;
  holder->addWidget(frame);
  return holder;
}

void AlertSettingDialog::Forward(const std::function<void()>& handler) {
  if (rendering_) return;
  handler();
  renderAll_();
}

void AlertSettingDialog::ConnectBox(QLineEdit* box, std::string AlertSettingModel::*field) {
  connect(box, &QLineEdit::textEdited, this, [this, field](const QString& text) {
    Forward([this, field, &text] { model_.*field = text.toStdString(); });
  });
}

void AlertSettingDialog::ConnectCheck(QCheckBox* box, bool AlertSettingModel::*field,
                                      void (AlertSettingModel::*handler)()) {
  connect(box, &QCheckBox::clicked, this, [this, field, handler](bool checked) {
    Forward([this, field, handler, checked] {
      model_.*field = checked;
      if (handler != nullptr) (model_.*handler)();
    });
  });
}

void AlertSettingDialog::Connect() {
  using M = AlertSettingModel;
  ConnectBox(TimeInterval_, &M::TimeInterval);
  ConnectBox(cpu_High_, &M::cpu_High);
  ConnectBox(mem_High_, &M::mem_High);
  ConnectBox(num_High_, &M::num_High);
  ConnectBox(host_Name_, &M::host_Name);
  ConnectBox(num_Kill_, &M::num_Kill);
  ConnectBox(filMusic_, &M::filMusic);
  ConnectBox(soundFrom_, &M::soundFrom);
  ConnectBox(soundTo_, &M::soundTo);
  ConnectBox(smsEmail_, &M::smsEmail);
  ConnectBox(smsPassword_, &M::smsPassword);
  ConnectBox(smsPhone_, &M::smsPhone);
  ConnectBox(Mail_List_, &M::Mail_List);
  ConnectBox(smsFrom_, &M::smsFrom);
  ConnectBox(smsTo_, &M::smsTo);
  connect(PnameList_, &QPlainTextEdit::textChanged, this, [this] {
    Forward([this] { model_.PnameList = PnameList_->toPlainText().toStdString(); });
  });

  ConnectCheck(Enable_log_, &M::Enable_log);
  ConnectCheck(KillProc_, &M::KillProc, &M::OnKillProcClick);
  ConnectCheck(Check5_, &M::Check5);
  ConnectCheck(soundOn_, &M::soundOn);
  ConnectCheck(Check2_, &M::Check2, &M::OnCheck2Click);
  ConnectCheck(schAlert_, &M::schAlert);
  connect(Killopt_, &QRadioButton::clicked, this,
          [this] { Forward([this] { model_.OnKilloptClick(); }); });
  connect(noKillopt_, &QRadioButton::clicked, this,
          [this] { Forward([this] { model_.OnNoKilloptClick(); }); });
  connect(max_SMS_, &QComboBox::activated, this,
          [this](int index) { Forward([this, index] { model_.max_SMS.listIndex = index; }); });

  connect(SelMusic_, &QPushButton::clicked, this,
          [this] { Forward([this] { model_.OnSelMusicClick(); }); });
  connect(SMTPset_, &QPushButton::clicked, this,
          [this] { Forward([this] { model_.OnSMTPsetClick(); }); });
  connect(Save_, &QPushButton::clicked, this,
          [this] { Forward([this] { model_.OnSaveClick(); }); });
  connect(Cancel_, &QPushButton::clicked, this,
          [this] { Forward([this] { model_.OnCancelClick(); }); });

  // The label SMS_Reset works as a button; clicks into smsPhone clear its hint; pointer moves
  // over SMS_Reset and the two frames change the dialog's pointer.
  auto* hook = new EventHook(
      [this](QObject* watched, QEvent* event) {
        const QEvent::Type type = event->type();
        // A filter sees the events of a disabled widget too; a disabled control takes no click.
        const auto* target = qobject_cast<QWidget*>(watched);
        const bool enabledTarget = target == nullptr || target->isEnabled();
        if (!enabledTarget &&
            (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease)) {
          return false;
        }
        if (watched == SMS_Reset_ && type == QEvent::MouseButtonRelease) {
          Forward([this] { model_.OnSMS_ResetClick(); });
        } else if (watched == SMS_Reset_ && type == QEvent::MouseMove) {
          Forward([this] { model_.OnSMS_ResetMouseMove(); });
          return true;
        } else if (watched == smsPhone_ && type == QEvent::MouseButtonPress) {
          Forward([this] { model_.OnSmsPhoneClick(); });
        } else if ((watched == alertsFrame_ || watched == alertHoursFrame_) &&
                   type == QEvent::MouseMove) {
          Forward([this] { model_.OnBackgroundMouseMove(); });
        }
        return false;
      },
      this);
  hook->Watch(*SMS_Reset_);
  hook->Watch(*smsPhone_);
  hook->Watch(*alertsFrame_);
  hook->Watch(*alertHoursFrame_);
}

void AlertSettingDialog::mouseMoveEvent(QMouseEvent* event) {
  Forward([this] { model_.OnBackgroundMouseMove(); });
  QDialog::mouseMoveEvent(event);
}

// The model centres its form on the screen; the view keeps that centre for its own size.
void AlertSettingDialog::Place() {
  if (placed_) return;
  placed_ = true;
  adjustSize();
  const FormGeometry& g = model_.geometry;
  move(g.left + (g.width - width()) / 2, g.top + (g.height - height()) / 2);
}

void AlertSettingDialog::Render() {
  rendering_ = true;
  const AlertSettingModel& m = model_;
  const AlertSettingEnabled& e = m.enabled;
  const QString caption = ToQString(m.Caption());
  if (windowTitle() != caption) setWindowTitle(caption);
  ApplyText(m.TimeInterval, true, *TimeInterval_);
  ApplyText(m.cpu_High, true, *cpu_High_);
  ApplyText(m.mem_High, true, *mem_High_);
  ApplyText(m.num_High, true, *num_High_);
  ApplyText(m.host_Name, true, *host_Name_);
  ApplyCheck(m.Enable_log, true, *Enable_log_);

  ApplyCheck(m.KillProc, true, *KillProc_);
  ApplyText(m.num_Kill, e.num_Kill, *num_Kill_);
  ApplyCheck(m.Killopt, e.Killopt, *Killopt_);
  ApplyCheck(m.noKillopt, e.noKillopt, *noKillopt_);
  ApplyText(m.PnameList, e.PnameList, *PnameList_);

  ApplyCheck(m.Check5, true, *Check5_);
  ApplyText(m.filMusic, true, *filMusic_);
  ApplyCheck(m.soundOn, true, *soundOn_);
  ApplyText(m.soundFrom, true, *soundFrom_);
  ApplyText(m.soundTo, true, *soundTo_);

  ApplyCheck(m.Check2, true, *Check2_);
  lblAccount_->setEnabled(e.lblAccount);
  lblPassword_->setEnabled(e.lblPassword);
  lblSmsAlertTo_->setEnabled(e.lblSmsAlertTo);
  lblSeparateNote_->setEnabled(e.lblSeparateNote);
  lblCapSms_->setEnabled(e.lblCapSms);
  lblMailAlertTo_->setEnabled(e.lblMailAlertTo);
  lblAlertHours_->setEnabled(e.lblAlertHours);
  lblAlertHoursTo_->setEnabled(e.lblAlertHoursTo);
  ApplyText(m.smsEmail, e.smsEmail, *smsEmail_);
  ApplyText(m.smsPassword, e.smsPassword, *smsPassword_);
  ApplyText(m.smsPhone, e.smsPhone, *smsPhone_);
  ApplyText(m.Mail_List, e.Mail_List, *Mail_List_);
  ApplyCombo(m.max_SMS, *max_SMS_);
  ApplyCaption(m.SMS_Today, e.SMS_Today, *SMS_Today_);
  SMS_Reset_->setEnabled(e.SMS_Reset);
  ApplyCheck(m.schAlert, e.schAlert, *schAlert_);
  ApplyText(m.smsFrom, e.smsFrom, *smsFrom_);
  ApplyText(m.smsTo, e.smsTo, *smsTo_);

  if (m.pointer == Pointer::Hand) {
    setCursor(handCursor_);
  } else {
    unsetCursor();
  }
  Place();
  rendering_ = false;
}

// Escape is a Cancel.
void AlertSettingDialog::reject() {
  Forward([this] { model_.OnCancelClick(); });
}

// Closing the dialog from its title bar is a Cancel: a refused Save's entries leave force too.
void AlertSettingDialog::closeEvent(QCloseEvent* event) {
  model_.OnCancelClick();
  event->accept();
  renderAll_();
}

}  // namespace tarnwick
