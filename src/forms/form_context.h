// What the form models share: the engine they show and command, and the desktop's services.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "controls/form_controls.h"
#include "engine/engine.h"
#include "platform/smtp_client.h"
#include "platform/ui_services.h"

namespace tarnwick {

// A settings dialog's caption ends in this while a refused Save's entries are in force.
inline constexpr std::string_view kNotSavedTail = " (not saved)";

// What a dialog's Save refused or asks about, for those who report it otherwise than in its
// message box (the command line names the setting): told just before the box.
using RefusalWitness = std::function<void(std::string_view setting, const std::string& message)>;

class FormContext {
 public:
  // `smtpClient` sends the SMTP settings dialog's test mail in-process; without it the dialog
  // says there is none.
  FormContext(Engine& engine, IUiServices& ui, IAsyncSmtpClient* smtpClient = nullptr)
      : engine_(engine), ui_(ui), smtpClient_(smtpClient) {}

  Engine& engine() const { return engine_; }
  IUiServices& ui() const { return ui_; }
  IAsyncSmtpClient* smtpClient() const { return smtpClient_; }

  // Places the form in the middle of the screen.
  void CenterForm(FormGeometry& form) const;
  // The file picker of the dialogs' sound buttons: an existing WAV file, starting in the
  // program's folder; nullopt when cancelled.
  std::optional<std::string> PickSoundFile() const;
  // A message box titled "Tarnwick".
  MessageAnswer Tell(std::string_view message, MessageButtons buttons = MessageButtons::Ok) const;

  // A Save's check refused it because of `setting`: the witness hears of it, then the box says it.
  void TellRefusal(std::string_view setting, const std::string& message) const;
  // A Save's question about `setting`, with Yes and No; true for Yes.
  bool AskYesNo(std::string_view setting, const std::string& message) const;

  void SetRefusalWitness(RefusalWitness witness) { witness_ = std::move(witness); }

  // A dialog put settings in force without a file behind them (a refused Save's entries, or the
  // saved ones back after it): the listeners show them as they show a Save's.
  void AnnounceSettingsInForce() const;

 private:
  Engine& engine_;
  IUiServices& ui_;
  IAsyncSmtpClient* smtpClient_;
  RefusalWitness witness_;
};

}  // namespace tarnwick
