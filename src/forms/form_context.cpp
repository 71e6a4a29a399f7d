#include "forms/form_context.h"

#include "controls/dialog_controls.h"

namespace tarnwick {
namespace {

// The file dialog of the sound buttons.
constexpr std::string_view kSoundPickTitle = "Open";
constexpr std::string_view kSoundFilterDescription = "WAV Files(*.wav)";
constexpr std::string_view kSoundFilterPattern = "*.wav";

}  // namespace

void FormContext::CenterForm(FormGeometry& form) const {
  const ScreenSize screen = ui_.Screen();
  form.top = (screen.height - form.height) / 2;
  form.left = (screen.width - form.width) / 2;
}

std::optional<std::string> FormContext::PickSoundFile() const {
  FilePickRequest request;
  request.title = std::string(kSoundPickTitle);
  request.initialFolder = engine_.deps().system.ProgramFolder();
  request.filterDescription = std::string(kSoundFilterDescription);
  request.filterPattern = std::string(kSoundFilterPattern);
  std::optional<std::string> chosen = ui_.PickFile(request);
  if (chosen && chosen->empty()) chosen.reset();
  return chosen;
}

MessageAnswer FormContext::Tell(std::string_view message, MessageButtons buttons) const {
  return ui_.MessageBox(std::string(message), buttons, std::string(kDialogMessageTitle));
}

void FormContext::TellRefusal(std::string_view setting, const std::string& message) const {
  if (witness_) witness_(setting, message);
  Tell(message);
}

bool FormContext::AskYesNo(std::string_view setting, const std::string& message) const {
  if (witness_) witness_(setting, message);
  return Tell(message, MessageButtons::YesNo) == MessageAnswer::Yes;
}

void FormContext::AnnounceSettingsInForce() const {
  engine_.Announce([](IEngineListener& l) { l.OnSettingsInForce({}); });
}

}  // namespace tarnwick
