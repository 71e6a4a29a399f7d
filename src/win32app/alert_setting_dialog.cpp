#include <algorithm>

#include "control_ids.h"
#include "dialogs.h"
#include "forms/alert_setting_model.h"

namespace tarnwick::win32 {
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
constexpr int kUnnamed = -1;

// Fixed captions without a control name of their own, by their place in the layout.
enum Caption : int {
  kCapTimeInterval = 900,
  kCapSeconds,
  kCapCpuHigh,
  kCapCpuPercent,
  kCapMemHigh,
  kCapMemPercent,
  kCapNumHigh,
  kCapHostName,
  kCapNumKill,
  kCapTimes,
  kCapPnameList,
  kCapPnameNote,
  kCapFilMusic,
  kCapSoundTo,
  kFrameMonitoring,
  kFrameKill,
  kFrameSound,
};

// The text boxes with the model fields they edit.
struct Box {
  int id;
  std::string AlertSettingModel::*field;
};
constexpr Box kBoxes[] = {
    {id::TimeInterval, &AlertSettingModel::TimeInterval},
    {id::cpu_High, &AlertSettingModel::cpu_High},
    {id::mem_High, &AlertSettingModel::mem_High},
    {id::num_High, &AlertSettingModel::num_High},
    {id::host_Name, &AlertSettingModel::host_Name},
    {id::num_Kill, &AlertSettingModel::num_Kill},
    {id::PnameList, &AlertSettingModel::PnameList},
    {id::filMusic, &AlertSettingModel::filMusic},
    {id::soundFrom, &AlertSettingModel::soundFrom},
    {id::soundTo, &AlertSettingModel::soundTo},
    {id::smsEmail, &AlertSettingModel::smsEmail},
    {id::smsPassword, &AlertSettingModel::smsPassword},
    {id::smsPhone, &AlertSettingModel::smsPhone},
    {id::Mail_List, &AlertSettingModel::Mail_List},
    {id::smsFrom, &AlertSettingModel::smsFrom},
    {id::smsTo, &AlertSettingModel::smsTo},
};

struct Check {
  int id;
  bool AlertSettingModel::*field;
  void (AlertSettingModel::*handler)();
};
constexpr Check kChecks[] = {
    {id::Enable_log, &AlertSettingModel::Enable_log, nullptr},
    {id::KillProc, &AlertSettingModel::KillProc, &AlertSettingModel::OnKillProcClick},
    {id::Check5, &AlertSettingModel::Check5, nullptr},
    {id::soundOn, &AlertSettingModel::soundOn, nullptr},
    {id::Check2, &AlertSettingModel::Check2, &AlertSettingModel::OnCheck2Click},
    {id::schAlert, &AlertSettingModel::schAlert, nullptr},
};

// The multi-line box keeps CR LF; the model holds the text as typed with LF.
std::string FromBox(HWND box, bool multiLine) {
  std::string text = WindowTextUtf8(box);
  if (!multiLine) return text;
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  return out;
}

std::string ToBox(const std::string& text, bool multiLine) {
  if (!multiLine) return text;
  std::string out;
  for (char c : text) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

}  // namespace

AlertSettingDialog::AlertSettingDialog(AlertSettingModel& model, std::function<void()> renderAll,
                                       HWND owner)
    : DialogView(std::move(renderAll)), model_(model) {
  handCursor_ = LoadCursorFromFileW(W(model.HandCursorPath()).c_str());
  ownsHandCursor_ = handCursor_ != nullptr;
  if (handCursor_ == nullptr) handCursor_ = LoadCursorW(nullptr, IDC_HAND);
  Create(owner, model.Caption());
}

AlertSettingDialog::~AlertSettingDialog() {
  if (ownsHandCursor_) DestroyCursor(handCursor_);
  if (underlined_ != nullptr) DeleteObject(underlined_);
}

const FormGeometry& AlertSettingDialog::Geometry() const {
  return model_.geometry;
}

void AlertSettingDialog::Build() {
  HWND d = dialog_;
  // Frames first, so that the controls inside them stand above them.
  frames_ = {GroupBox(d, "", kFrameMonitoring), GroupBox(d, "", kFrameKill),
             GroupBox(d, "", kFrameSound), GroupBox(d, "", id::alertsFrame)};
  Label(d, kTimeIntervalLabel, kCapTimeInterval);
  Edit(d, id::TimeInterval);
  Label(d, kSecondsLabel, kCapSeconds);
  Label(d, kCpuHighLabel, kCapCpuHigh);
  Edit(d, id::cpu_High);
  Label(d, kPercentLabel, kCapCpuPercent);
  Label(d, kMemHighLabel, kCapMemHigh);
  Edit(d, id::mem_High);
  Label(d, kPercentLabel, kCapMemPercent);
  Label(d, kNumHighLabel, kCapNumHigh);
  Edit(d, id::num_High);
  Label(d, kHostNameLabel, kCapHostName);
  Edit(d, id::host_Name);
  CheckBox(d, kEnableLogCaption, id::Enable_log);

  CheckBox(d, kKillProcCaption, id::KillProc);
  Label(d, kNumKillLabel, kCapNumKill);
  Edit(d, id::num_Kill);
  Label(d, kTimesLabel, kCapTimes);
  RadioButton(d, kKilloptCaption, id::Killopt, true);
  RadioButton(d, kNoKilloptCaption, id::noKillopt, false);
  Label(d, kPnameListLabel, kCapPnameList);
  Label(d, kPnameListNote, kCapPnameNote, SS_RIGHT);
  Edit(d, id::PnameList, ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL);

  CheckBox(d, kCheck5Caption, id::Check5);
  Label(d, kFilMusicLabel, kCapFilMusic);
  Edit(d, id::filMusic);
  PushButton(d, kSelMusicCaption, id::SelMusic);
  CheckBox(d, kSoundOnCaption, id::soundOn);
  Edit(d, id::soundFrom);
  Label(d, kToLabel, kCapSoundTo);
  Edit(d, id::soundTo);

  CheckBox(d, kCheck2Caption, id::Check2);
  Label(d, kAccountLabel, id::lblAccount);
  Edit(d, id::smsEmail);
  Label(d, kPasswordLabel, id::lblPassword);
  HWND password = Edit(d, id::smsPassword, ES_PASSWORD);
  SendMessageW(password, EM_SETPASSWORDCHAR, L'*', 0);
  Label(d, kSmsAlertToLabel, id::lblSmsAlertTo);
  Edit(d, id::smsPhone);
  Label(d, kSeparateNote, id::lblSeparateNote);
  Label(d, kMailAlertToLabel, id::lblMailAlertTo);
  Edit(d, id::Mail_List);
  Label(d, kCapSmsLabel, id::lblCapSms);
  DropDown(d, id::max_SMS);
  Label(d, "", id::SMS_Today);
  Label(d, kResetCaption, id::SMS_Reset, SS_NOTIFY);
  CheckBox(d, kSchAlertCaption, id::schAlert);
  Label(d, kAlertHoursLabel, id::lblAlertHours);
  Edit(d, id::smsFrom);
  Label(d, kToLabel, id::lblAlertHoursTo);
  Edit(d, id::smsTo);
  PushButton(d, kSMTPsetCaption, id::SMTPset);
  PushButton(d, kSaveCaption, id::Save);
  PushButton(d, kCancelCaption, id::Cancel);
  (void)kUnnamed;
  // A click into smsPhone clears its hint.
  OnClickInto(Item(id::smsPhone), [this] { Forward([this] { model_.OnSmsPhoneClick(); }); });
}

SIZE AlertSettingDialog::LayOut(const Metrics& m) {
  // "Click to Reset" reads as a link.
  LOGFONTW face{};
  GetObjectW(m.font(), sizeof face, &face);
  face.lfUnderline = TRUE;
  if (underlined_ != nullptr) DeleteObject(underlined_);
  underlined_ = CreateFontIndirectW(&face);
  SendMessageW(Item(id::SMS_Reset), WM_SETFONT, reinterpret_cast<WPARAM>(underlined_), FALSE);

  const int margin = m.Margin();
  const int gap = m.Gap();
  const int pad = m.Px(10);
  const int lh = m.LineHeight();
  const int eh = m.EditHeight();
  const int ch = m.CheckHeight();
  const int bh = m.ButtonHeight();
  const int number = m.DigitBox(5);
  const int row = eh + gap;

  // Left column: monitoring and kill frames.
  const int captionColumn =
      std::max({m.TextWidth(kTimeIntervalLabel), m.TextWidth(kCpuHighLabel),
                m.TextWidth(kMemHighLabel), m.TextWidth(kNumHighLabel) / 2 + m.Px(24)}) +
      gap;
  const int unitWidth = m.TextWidth(kSecondsLabel) + m.Px(4);
  const int leftInner =
      std::max({captionColumn + number + gap + unitWidth, m.CheckWidth(kKillProcCaption),
                m.TextWidth(kNumKillLabel) + gap + number + gap + m.TextWidth(kTimesLabel) + gap,
                m.CheckWidth(kNoKilloptCaption)});
  // Right column: sound and alerts frames.
  const int alertCaptions =
      std::max({m.TextWidth(kAccountLabel), m.TextWidth(kPasswordLabel),
                m.TextWidth(kSmsAlertToLabel), m.TextWidth(kMailAlertToLabel)}) +
      gap;
  const int soundLine =
      m.CheckWidth(kSoundOnCaption) + number + gap + m.TextWidth(kToLabel) + gap + number;
  const int rightInner = std::max(
      {m.CheckWidth(kCheck5Caption), soundLine, m.ButtonWidth(kSMTPsetCaption) + m.Px(24),
       alertCaptions + m.Px(300), alertCaptions + m.TextWidth(kSeparateNote),
       m.TextWidth(kCapSmsLabel) + gap + m.DigitBox(4) + m.Px(24), m.CheckWidth(kSchAlertCaption)});

  const int leftX = margin;
  const int leftFrame = leftInner + 2 * pad;
  const int rightX = leftX + leftFrame + gap;
  const int rightFrame = rightInner + 2 * pad;
  auto put = [this](int id, int x, int y, int w, int h) { Put(Item(id), x, y, w, h); };
  // A caption beside a box stands level with the box's text.
  const int textDrop = (eh - lh) / 2;

  // Monitoring frame.
  int x = leftX + pad;
  int y = margin + pad;
  const std::pair<int, int> numbers[] = {{kCapTimeInterval, id::TimeInterval},
                                         {kCapCpuHigh, id::cpu_High},
                                         {kCapMemHigh, id::mem_High}};
  const int units[] = {kCapSeconds, kCapCpuPercent, kCapMemPercent};
  for (size_t i = 0; i < std::size(numbers); ++i) {
    put(numbers[i].first, x, y + textDrop, captionColumn, lh);
    put(numbers[i].second, x + captionColumn, y, number, eh);
    put(units[i], x + captionColumn + number + gap, y + textDrop, unitWidth, lh);
    y += row;
  }
  // The long caption of num_High takes two lines.
  put(kCapNumHigh, x, y, captionColumn - gap, 2 * lh);
  put(id::num_High, x + captionColumn, y + (2 * lh - eh) / 2, number, eh);
  y += std::max(2 * lh, eh) + gap;
  put(kCapHostName, x, y, leftInner, lh);
  y += lh + m.Px(2);
  put(id::host_Name, x, y, leftInner, eh);
  y += row;
  put(id::Enable_log, x, y, m.CheckWidth(kEnableLogCaption), ch);
  y += ch + pad;
  Put(frames_[0], leftX, margin, leftFrame, y - margin);
  const int killTop = y + gap;

  // Sound frame.
  x = rightX + pad;
  y = margin + pad;
  put(id::Check5, x, y, m.CheckWidth(kCheck5Caption), ch);
  y += ch + gap;
  const int fileCaption = m.TextWidth(kFilMusicLabel) + gap;
  const int selWidth = m.ButtonWidth(kSelMusicCaption) + m.Px(16);
  put(kCapFilMusic, x, y + textDrop, fileCaption, lh);
  put(id::filMusic, x + fileCaption, y, rightInner - fileCaption - gap - selWidth, eh);
  put(id::SelMusic, x + rightInner - selWidth, y + (eh - bh) / 2, selWidth, bh);
  y += row;
  int lineX = x;
  put(id::soundOn, lineX, y + (eh - ch) / 2, m.CheckWidth(kSoundOnCaption), ch);
  lineX += m.CheckWidth(kSoundOnCaption);
  put(id::soundFrom, lineX, y, number, eh);
  lineX += number + gap;
  put(kCapSoundTo, lineX, y + textDrop, m.TextWidth(kToLabel) + m.Px(2), lh);
  lineX += m.TextWidth(kToLabel) + gap;
  put(id::soundTo, lineX, y, number, eh);
  y += eh + pad;
  Put(frames_[2], rightX, margin, rightFrame, y - margin);
  const int alertsTop = y + gap;

  // Alerts frame.
  y = alertsTop + pad;
  put(id::Check2, x, y, m.CheckWidth(kCheck2Caption), ch);
  y += ch + gap;
  const std::pair<int, int> alertRows[] = {{id::lblAccount, id::smsEmail},
                                           {id::lblPassword, id::smsPassword},
                                           {id::lblSmsAlertTo, id::smsPhone}};
  for (const auto& [caption, box] : alertRows) {
    put(caption, x, y + textDrop, alertCaptions, lh);
    put(box, x + alertCaptions, y, rightInner - alertCaptions, eh);
    y += row;
  }
  put(id::lblSeparateNote, x + alertCaptions, y - m.Px(2), rightInner - alertCaptions, lh);
  y += lh + gap;
  put(id::lblMailAlertTo, x, y + textDrop, alertCaptions, lh);
  put(id::Mail_List, x + alertCaptions, y, rightInner - alertCaptions, eh);
  y += row;
  const int capCaption = m.TextWidth(kCapSmsLabel) + gap;
  put(id::lblCapSms, x, y + textDrop, capCaption, lh);
  put(id::max_SMS, x + capCaption, y, m.DigitBox(4) + m.Px(24), eh + m.Px(200));
  y += row;
  const int todayWidth = m.TextWidth("Sent Today : 88888") + gap;
  put(id::SMS_Today, x, y, todayWidth, lh);
  put(id::SMS_Reset, x + todayWidth + gap, y, m.TextWidth(kResetCaption) + m.Px(2), lh);
  y += lh + gap;
  put(id::schAlert, x, y, m.CheckWidth(kSchAlertCaption), ch);
  y += ch + gap;
  const int hoursCaption = m.TextWidth(kAlertHoursLabel) + gap;
  lineX = x;
  put(id::lblAlertHours, lineX, y + textDrop, hoursCaption, lh);
  lineX += hoursCaption;
  put(id::smsFrom, lineX, y, number, eh);
  lineX += number + gap;
  put(id::lblAlertHoursTo, lineX, y + textDrop, m.TextWidth(kToLabel) + m.Px(2), lh);
  lineX += m.TextWidth(kToLabel) + gap;
  put(id::smsTo, lineX, y, number, eh);
  y += row;
  put(id::SMTPset, x, y, rightInner, bh);
  y += bh + pad;
  const int alertsBottom = y;

  // Kill frame: its list box takes the height left beside the alerts frame.
  x = leftX + pad;
  y = killTop + pad;
  put(id::KillProc, x, y, m.CheckWidth(kKillProcCaption), ch);
  y += ch + gap;
  const int killCaption = m.TextWidth(kNumKillLabel) + gap;
  put(kCapNumKill, x, y + textDrop, killCaption, lh);
  put(id::num_Kill, x + killCaption, y, number, eh);
  put(kCapTimes, x + killCaption + number + gap, y + textDrop, m.TextWidth(kTimesLabel) + m.Px(4),
      lh);
  y += row;
  put(id::Killopt, x, y, m.CheckWidth(kKilloptCaption), ch);
  y += ch + gap;
  put(id::noKillopt, x, y, m.CheckWidth(kNoKilloptCaption), ch);
  y += ch + gap;
  const int noteWidth = m.TextWidth(kPnameListNote) + m.Px(4);
  put(kCapPnameList, x, y, m.TextWidth(kPnameListLabel) + m.Px(4), lh);
  put(kCapPnameNote, x + leftInner - noteWidth, y, noteWidth, lh);
  y += lh + m.Px(2);
  const int listBottom = std::max(y + 4 * lh + m.Px(8), alertsBottom - pad);
  put(id::PnameList, x, y, leftInner, listBottom - y);
  const int killBottom = listBottom + pad;
  Put(frames_[1], leftX, killTop, leftFrame, killBottom - killTop);
  Put(frames_[3], rightX, alertsTop, rightFrame, std::max(alertsBottom, killBottom) - alertsTop);

  const int buttonsTop = std::max(alertsBottom, killBottom) + gap * 2;
  const int buttonWidth = std::max(m.ButtonWidth(kCancelCaption), m.Px(88));
  const int width = rightX + rightFrame + margin;
  put(id::Cancel, width - margin - buttonWidth, buttonsTop, buttonWidth, bh);
  put(id::Save, width - margin - 2 * buttonWidth - gap, buttonsTop, buttonWidth, bh);
  return SIZE{width, buttonsTop + bh + margin};
}

void AlertSettingDialog::OnCommand(int id, int code) {
  for (const Box& box : kBoxes) {
    if (box.id != id) continue;
    if (code == EN_CHANGE) {
      const bool multiLine = id == id::PnameList;
      Forward([this, &box, multiLine] { model_.*box.field = FromBox(Item(box.id), multiLine); });
    }
    return;
  }
  for (const Check& check : kChecks) {
    if (check.id != id || code != BN_CLICKED) continue;
    const bool checked = Checked(Item(id));
    Forward([this, &check, checked] {
      model_.*check.field = checked;
      if (check.handler != nullptr) (model_.*check.handler)();
    });
    return;
  }
  switch (id) {
    case id::Killopt:
      if (code == BN_CLICKED) Forward([this] { model_.OnKilloptClick(); });
      break;
    case id::noKillopt:
      if (code == BN_CLICKED) Forward([this] { model_.OnNoKilloptClick(); });
      break;
    case id::max_SMS:
      if (code == CBN_SELCHANGE) {
        const int index = static_cast<int>(SendMessageW(Item(id), CB_GETCURSEL, 0, 0));
        Forward([this, index] { model_.max_SMS.listIndex = index; });
      }
      break;
    case id::SelMusic:
      if (code == BN_CLICKED) Forward([this] { model_.OnSelMusicClick(); });
      break;
    case id::SMTPset:
      if (code == BN_CLICKED) Forward([this] { model_.OnSMTPsetClick(); });
      break;
    case id::SMS_Reset:
      if (code == STN_CLICKED) Forward([this] { model_.OnSMS_ResetClick(); });
      break;
    case id::Save:
      if (code == BN_CLICKED) Forward([this] { model_.OnSaveClick(); });
      break;
    default:
      break;
  }
}

void AlertSettingDialog::OnCancel() {
  Forward([this] { model_.OnCancelClick(); });
}

bool AlertSettingDialog::OnOtherMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
  if (message != WM_SETCURSOR) return false;
  const auto over = reinterpret_cast<HWND>(wParam);
  const bool background =
      over == dialog_ || std::find(frames_.begin(), frames_.end(), over) != frames_.end();
  if (over == Item(id::SMS_Reset)) {
    if (model_.pointer != Pointer::Hand) Forward([this] { model_.OnSMS_ResetMouseMove(); });
  } else if (background) {
    if (model_.pointer != Pointer::Default) Forward([this] { model_.OnBackgroundMouseMove(); });
  } else {
    return false;  // the controls keep their own pointers (the text boxes' I-beam)
  }
  SetCursor(model_.pointer == Pointer::Hand ? handCursor_ : LoadCursorW(nullptr, IDC_ARROW));
  result = TRUE;
  return true;
}

void AlertSettingDialog::Render() {
  rendering_ = true;
  // A refused Save's entries in force show in the caption until a Save or Cancel.
  SetText(dialog_, model_.Caption());
  const AlertSettingModel& m = model_;
  const AlertSettingEnabled& e = m.enabled;
  auto text = [this](int id, const std::string& value, bool enabled) {
    SetText(Item(id), ToBox(value, id == id::PnameList));
    SetEnabled(Item(id), enabled);
  };
  auto check = [this](int id, bool value, bool enabled) {
    SetChecked(Item(id), value);
    SetEnabled(Item(id), enabled);
  };
  text(id::TimeInterval, m.TimeInterval, true);
  text(id::cpu_High, m.cpu_High, true);
  text(id::mem_High, m.mem_High, true);
  text(id::num_High, m.num_High, true);
  text(id::host_Name, m.host_Name, true);
  check(id::Enable_log, m.Enable_log, true);
  check(id::KillProc, m.KillProc, true);
  text(id::num_Kill, m.num_Kill, e.num_Kill);
  check(id::Killopt, m.Killopt, e.Killopt);
  check(id::noKillopt, m.noKillopt, e.noKillopt);
  text(id::PnameList, m.PnameList, e.PnameList);
  check(id::Check5, m.Check5, true);
  text(id::filMusic, m.filMusic, true);
  check(id::soundOn, m.soundOn, true);
  text(id::soundFrom, m.soundFrom, true);
  text(id::soundTo, m.soundTo, true);
  check(id::Check2, m.Check2, true);
  const std::pair<int, bool> labels[] = {
      {id::lblAccount, e.lblAccount},       {id::lblPassword, e.lblPassword},
      {id::lblSmsAlertTo, e.lblSmsAlertTo}, {id::lblSeparateNote, e.lblSeparateNote},
      {id::lblCapSms, e.lblCapSms},         {id::lblMailAlertTo, e.lblMailAlertTo},
      {id::lblAlertHours, e.lblAlertHours}, {id::lblAlertHoursTo, e.lblAlertHoursTo},
      {id::SMS_Reset, e.SMS_Reset}};
  for (const auto& [label, enabled] : labels) SetEnabled(Item(label), enabled);
  text(id::smsEmail, m.smsEmail, e.smsEmail);
  text(id::smsPassword, m.smsPassword, e.smsPassword);
  text(id::smsPhone, m.smsPhone, e.smsPhone);
  text(id::Mail_List, m.Mail_List, e.Mail_List);
  ApplyCombo(Item(id::max_SMS), m.max_SMS);
  text(id::SMS_Today, m.SMS_Today, e.SMS_Today);
  check(id::schAlert, m.schAlert, e.schAlert);
  text(id::smsFrom, m.smsFrom, e.smsFrom);
  text(id::smsTo, m.smsTo, e.smsTo);
  rendering_ = false;
}

}  // namespace tarnwick::win32
