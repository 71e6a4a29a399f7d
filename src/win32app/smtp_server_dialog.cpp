#include <algorithm>

#include "control_ids.h"
#include "dialogs.h"
#include "forms/smtp_server_model.h"

namespace tarnwick::win32 {
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

// Captions of the server boxes, by their row.
constexpr int kRowCaption = 950;
// The minutes line's own captions.
constexpr int kLabel5Id = 960;
constexpr int kLabel12Id = 961;
constexpr int kLabel6Id = 962;

struct Box {
  int id;
  std::string SmtpServerModel::*field;
  void (SmtpServerModel::*handler)();
};
constexpr Box kBoxes[] = {
    {id::mailSvr, &SmtpServerModel::mailSvr, nullptr},
    {id::mailFrom, &SmtpServerModel::mailFrom, nullptr},
    {id::SMTPport, &SmtpServerModel::SMTPport, nullptr},
    {id::MailUser, &SmtpServerModel::MailUser, &SmtpServerModel::OnMailUserChange},
    {id::MailPass, &SmtpServerModel::MailPass, nullptr},
    {id::min_Select, &SmtpServerModel::min_Select, nullptr},
    {id::mailTo1, &SmtpServerModel::mailTo1, nullptr},
};

}  // namespace

SmtpServerDialog::SmtpServerDialog(SmtpServerModel& model, std::function<void()> renderAll,
                                   HWND owner)
    : DialogView(std::move(renderAll)), model_(model) {
  Create(owner, model.Caption());
}

const FormGeometry& SmtpServerDialog::Geometry() const {
  return model_.geometry;
}

void SmtpServerDialog::Build() {
  HWND d = dialog_;
  Label(d, kLabel8, id::Label8);
  DropDown(d, id::PublicSMTP);
  const char* captions[] = {kMailSvrLabel, kMailFromLabel, kPortLabel, kUsernameLabel,
                            kPasswordLabel};
  const int boxes[] = {id::mailSvr, id::mailFrom, id::SMTPport, id::MailUser, id::MailPass};
  for (int i = 0; i < 5; ++i) {
    Label(d, captions[i], kRowCaption + i);
    Edit(d, boxes[i], boxes[i] == id::MailPass ? ES_PASSWORD : 0);
  }
  SendMessageW(Item(id::MailPass), EM_SETPASSWORDCHAR, L'*', 0);
  CheckBox(d, kCheck1Caption, id::Check1);
  PushButton(d, std::string(kSendTestMailCaption), id::Command2);
  CheckBox(d, kAliveCaption, id::alive_Email);
  Label(d, kLabel5, kLabel5Id);
  Edit(d, id::min_Select);
  Label(d, kLabel12, kLabel12Id);
  Label(d, kLabel6, kLabel6Id);
  Edit(d, id::mailTo1);
  PushButton(d, kSaveCaption, id::Save);
  PushButton(d, kCancelCaption, id::Cancel);
}

SIZE SmtpServerDialog::LayOut(const Metrics& m) {
  const int margin = m.Margin();
  const int gap = m.Gap();
  const int lh = m.LineHeight();
  const int eh = m.EditHeight();
  const int ch = m.CheckHeight();
  const int bh = m.ButtonHeight();
  const int textDrop = (eh - lh) / 2;
  auto put = [this](int id, int x, int y, int w, int h) { Put(Item(id), x, y, w, h); };

  // Wide enough for either caption, so the button does not jump while a test mail goes out.
  const int testWidth =
      std::max(m.ButtonWidth(kSendTestMailCaption), m.ButtonWidth(kTestingCaption)) + m.Px(16);
  const int comboWidth = m.TextWidth("My SMTP") + m.Px(48);
  const int captionColumn =
      std::max({m.TextWidth(kMailSvrLabel), m.TextWidth(kMailFromLabel), m.TextWidth(kPortLabel),
                m.TextWidth(kUsernameLabel), m.TextWidth(kPasswordLabel)}) +
      gap * 2;
  const int inner =
      std::max({m.TextWidth(kLabel8) + gap + comboWidth, captionColumn + m.Px(300),
                m.CheckWidth(kCheck1Caption) + gap + testWidth, m.CheckWidth(kAliveCaption),
                m.TextWidth(kLabel5) + gap + m.DigitBox(5) + gap + m.TextWidth(kLabel12) + gap});
  const int x = margin;
  int y = margin;
  const int label8 = m.TextWidth(kLabel8) + gap;
  put(id::Label8, x, y + textDrop, label8, lh);
  put(id::PublicSMTP, x + label8, y, comboWidth, eh + m.Px(120));
  y += eh + gap * 2;
  const int boxes[] = {id::mailSvr, id::mailFrom, id::SMTPport, id::MailUser, id::MailPass};
  for (int i = 0; i < 5; ++i) {
    put(kRowCaption + i, x, y + textDrop, captionColumn, lh);
    const int width = boxes[i] == id::SMTPport ? m.DigitBox(6) : inner - captionColumn;
    put(boxes[i], x + captionColumn, y, width, eh);
    y += eh + gap;
  }
  y += gap;
  put(id::Check1, x, y + (bh - ch) / 2, m.CheckWidth(kCheck1Caption), ch);
  put(id::Command2, x + inner - testWidth, y, testWidth, bh);
  y += bh + gap * 2;
  put(id::alive_Email, x, y, m.CheckWidth(kAliveCaption), ch);
  y += ch + gap;
  int lineX = x;
  put(kLabel5Id, lineX, y + textDrop, m.TextWidth(kLabel5) + m.Px(2), lh);
  lineX += m.TextWidth(kLabel5) + gap;
  put(id::min_Select, lineX, y, m.DigitBox(5), eh);
  lineX += m.DigitBox(5) + gap;
  put(kLabel12Id, lineX, y + textDrop, m.TextWidth(kLabel12) + m.Px(2), lh);
  y += eh + gap;
  const int mailToCaption = m.TextWidth(kLabel6) + gap;
  put(kLabel6Id, x, y + textDrop, mailToCaption, lh);
  put(id::mailTo1, x + mailToCaption, y, inner - mailToCaption, eh);
  y += eh + gap * 3;
  const int buttonWidth = std::max(m.ButtonWidth(kCancelCaption), m.Px(88));
  const int width = inner + 2 * margin;
  put(id::Cancel, width - margin - buttonWidth, y, buttonWidth, bh);
  put(id::Save, width - margin - 2 * buttonWidth - gap, y, buttonWidth, bh);
  return SIZE{width, y + bh + margin};
}

void SmtpServerDialog::OnCommand(int id, int code) {
  for (const Box& box : kBoxes) {
    if (box.id != id) continue;
    if (code == EN_CHANGE) {
      Forward([this, &box] {
        model_.*box.field = WindowTextUtf8(Item(box.id));
        if (box.handler != nullptr) (model_.*box.handler)();
      });
    }
    return;
  }
  switch (id) {
    case id::PublicSMTP:
      if (code == CBN_SELCHANGE) {
        const int index = static_cast<int>(SendMessageW(Item(id), CB_GETCURSEL, 0, 0));
        Forward([this, index] { model_.OnPublicSMTPClick(index); });
      }
      break;
    case id::Check1:
      if (code == BN_CLICKED) {
        const bool checked = Checked(Item(id));
        Forward([this, checked] {
          model_.Check1 = checked;
          model_.OnCheck1Click();
        });
      }
      break;
    case id::alive_Email:
      if (code == BN_CLICKED) {
        const bool checked = Checked(Item(id));
        Forward([this, checked] { model_.alive_Email = checked; });
      }
      break;
    case id::Command2:
      if (code == BN_CLICKED) Forward([this] { model_.OnCommand2Click(); });
      break;
    case id::Save:
      if (code == BN_CLICKED) Forward([this] { model_.OnSaveClick(); });
      break;
    default:
      break;
  }
}

void SmtpServerDialog::OnCancel() {
  Forward([this] { model_.OnCancelClick(); });
}

void SmtpServerDialog::Render() {
  rendering_ = true;
  // A refused Save's entries in force show in the caption until a Save or Cancel.
  SetText(dialog_, model_.Caption());
  const SmtpServerModel& m = model_;
  const SmtpServerEnabled& e = m.enabled;
  auto text = [this](int id, const std::string& value, bool enabled) {
    SetText(Item(id), value);
    SetEnabled(Item(id), enabled);
  };
  ApplyCombo(Item(id::PublicSMTP), m.PublicSMTP);
  text(id::mailSvr, m.mailSvr, e.mailSvr);
  text(id::mailFrom, m.mailFrom, e.mailFrom);
  text(id::SMTPport, m.SMTPport, e.SMTPport);
  text(id::MailUser, m.MailUser, e.MailUser);
  text(id::MailPass, m.MailPass, e.MailPass);
  SetChecked(Item(id::Check1), m.Check1);
  text(id::Command2, m.Command2.caption, m.Command2.enabled);
  SetChecked(Item(id::alive_Email), m.alive_Email);
  SetEnabled(Item(id::alive_Email), e.alive_Email);
  text(id::min_Select, m.min_Select, e.min_Select);
  text(id::mailTo1, m.mailTo1, e.mailTo1);
  rendering_ = false;
}

}  // namespace tarnwick::win32
