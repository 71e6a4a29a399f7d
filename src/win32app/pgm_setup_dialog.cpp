#include <algorithm>

#include "control_ids.h"
#include "dialogs.h"
#include "forms/pgm_setup_model.h"

namespace tarnwick::win32 {
namespace {

// The captions of the boxes (the model's Label1 to Label5).
constexpr int kLabelIds[] = {970, 971, 972, 973, 974};

struct Box {
  int id;
  PgmSetupModel::TextBox PgmSetupModel::*box;
};
constexpr Box kBoxes[] = {
    {id::pgmNameF, &PgmSetupModel::pgmNameF},
    {id::pgmCPUsetF, &PgmSetupModel::pgmCPUsetF},
    {id::pgmMEMsetF, &PgmSetupModel::pgmMEMsetF},
    {id::pgmAlertSetF, &PgmSetupModel::pgmAlertSetF},
    {id::pgmFileSoundF, &PgmSetupModel::pgmFileSoundF},
};

}  // namespace

PgmSetupDialog::PgmSetupDialog(PgmSetupModel& model, std::function<void()> renderAll, HWND owner)
    : DialogView(std::move(renderAll)), model_(model) {
  Create(owner, model.caption);
}

const FormGeometry& PgmSetupDialog::Geometry() const {
  return model_.geometry;
}

void PgmSetupDialog::Build() {
  HWND d = dialog_;
  const PgmSetupModel& m = model_;
  CheckBox(d, m.pgmMonitorF.caption, id::pgmMonitorF);
  const tarnwick::Label* captions[] = {&m.Label1, &m.Label2, &m.Label3, &m.Label4, &m.Label5};
  for (int i = 0; i < 5; ++i) {
    tarnwick::win32::Label(d, captions[i]->caption, kLabelIds[i]);
    Edit(d, kBoxes[i].id);
  }
  CheckBox(d, m.pgmKillF.caption, id::pgmKillF);
  CheckBox(d, m.pgmSoundF.caption, id::pgmSoundF);
  PushButton(d, m.pgmSelectMusic.caption, id::pgmSelectMusic);
  PushButton(d, m.pgmSave.caption, id::pgmSave);
  PushButton(d, m.pgmCancel.caption, id::pgmCancel);
  // A click into the example name empties the box.
  OnClickInto(Item(id::pgmNameF), [this] { Forward([this] { model_.pgmNameF_Click(); }); });
}

SIZE PgmSetupDialog::LayOut(const Metrics& m) {
  const PgmSetupModel& model = model_;
  const int margin = m.Margin();
  const int gap = m.Gap();
  const int lh = m.LineHeight();
  const int eh = m.EditHeight();
  const int ch = m.CheckHeight();
  const int bh = m.ButtonHeight();
  const int textDrop = (eh - lh) / 2;
  auto put = [this](int id, int x, int y, int w, int h) { Put(Item(id), x, y, w, h); };
  const tarnwick::Label* captions[] = {&model.Label1, &model.Label2, &model.Label3, &model.Label4};
  int captionColumn = 0;
  for (const tarnwick::Label* caption : captions) {
    captionColumn = std::max(captionColumn, m.TextWidth(caption->caption));
  }
  captionColumn += gap * 2;
  const int selWidth = m.ButtonWidth(model.pgmSelectMusic.caption) + m.Px(16);
  const int inner =
      std::max({captionColumn + m.Px(220), m.CheckWidth(model.pgmKillF.caption),
                m.CheckWidth(model.pgmSoundF.caption), m.CheckWidth(model.pgmMonitorF.caption)});
  const int x = margin;
  int y = margin;
  put(id::pgmMonitorF, x, y, m.CheckWidth(model.pgmMonitorF.caption), ch);
  y += ch + gap;
  for (int i = 0; i < 4; ++i) {
    put(kLabelIds[i], x, y + textDrop, captionColumn, lh);
    // The name takes the rest of the line; thresholds and the alert number are short numbers.
    const int width = i == 0 ? inner - captionColumn : m.DigitBox(6);
    put(kBoxes[i].id, x + captionColumn, y, width, eh);
    y += eh + gap;
  }
  put(id::pgmKillF, x, y, m.CheckWidth(model.pgmKillF.caption), ch);
  y += ch + gap;
  put(id::pgmSoundF, x, y, m.CheckWidth(model.pgmSoundF.caption), ch);
  y += ch + gap;
  const int fileCaption = m.TextWidth(model.Label5.caption) + gap;
  put(kLabelIds[4], x, y + textDrop, fileCaption, lh);
  put(id::pgmFileSoundF, x + fileCaption, y, inner - fileCaption - gap - selWidth, eh);
  put(id::pgmSelectMusic, x + inner - selWidth, y + (eh - bh) / 2, selWidth, bh);
  y += eh + gap * 3;
  const int buttonWidth = std::max(m.ButtonWidth(model.pgmCancel.caption), m.Px(88));
  const int width = inner + 2 * margin;
  put(id::pgmCancel, width - margin - buttonWidth, y, buttonWidth, bh);
  put(id::pgmSave, width - margin - 2 * buttonWidth - gap, y, buttonWidth, bh);
  return SIZE{width, y + bh + margin};
}

void PgmSetupDialog::OnCommand(int id, int code) {
  for (const Box& box : kBoxes) {
    if (box.id != id) continue;
    if (code == EN_CHANGE) {
      Forward([this, &box] { (model_.*box.box).text = WindowTextUtf8(Item(box.id)); });
    }
    return;
  }
  if (code != BN_CLICKED) return;
  const bool checked = Checked(Item(id));
  switch (id) {
    case id::pgmMonitorF:
      Forward([this, checked] {
        model_.pgmMonitorF.value = checked ? 1 : 0;
        model_.pgmMonitorF_Click();
      });
      break;
    case id::pgmKillF:
      Forward([this, checked] { model_.pgmKillF.value = checked ? 1 : 0; });
      break;
    case id::pgmSoundF:
      Forward([this, checked] { model_.pgmSoundF.value = checked ? 1 : 0; });
      break;
    case id::pgmSelectMusic:
      Forward([this] { model_.pgmSelectMusic_Click(); });
      break;
    case id::pgmSave:
      Forward([this] { model_.pgmSave_Click(); });
      break;
    default:
      break;
  }
}

void PgmSetupDialog::OnCancel() {
  Forward([this] { model_.pgmCancel_Click(); });
}

void PgmSetupDialog::Render() {
  rendering_ = true;
  const PgmSetupModel& m = model_;
  SetText(dialog_, m.caption);
  const std::pair<int, const PgmSetupModel::CheckBox*> checks[] = {
      {id::pgmMonitorF, &m.pgmMonitorF},
      {id::pgmKillF, &m.pgmKillF},
      {id::pgmSoundF, &m.pgmSoundF}};
  for (const auto& [id, check] : checks) {
    SetText(Item(id), check->caption);
    SetChecked(Item(id), check->value != 0);
    SetEnabled(Item(id), check->enabled);
  }
  for (const Box& box : kBoxes) {
    SetText(Item(box.id), (m.*box.box).text);
    SetEnabled(Item(box.id), (m.*box.box).enabled);
  }
  const std::pair<int, const Button*> buttons[] = {{id::pgmSelectMusic, &m.pgmSelectMusic},
                                                   {id::pgmSave, &m.pgmSave},
                                                   {id::pgmCancel, &m.pgmCancel}};
  for (const auto& [id, button] : buttons) {
    SetText(Item(id), button->caption);
    SetEnabled(Item(id), button->enabled);
  }
  const tarnwick::Label* captions[] = {&m.Label1, &m.Label2, &m.Label3, &m.Label4, &m.Label5};
  for (int i = 0; i < 5; ++i) {
    SetText(Item(kLabelIds[i]), captions[i]->caption);
    SetVisible(Item(kLabelIds[i]), captions[i]->visible);
  }
  rendering_ = false;
}

}  // namespace tarnwick::win32
