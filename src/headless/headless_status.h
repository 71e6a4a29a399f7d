// Without a desktop there is no window: tarnwickd prints the account status and the credits
// whenever they change, next to the log lines, and what a window would tell in a message box.
#pragma once

#include <functional>
#include <string>

#include "platform/ui_services.h"
#include "results/engine_listener.h"

namespace tarnwick {

class HeadlessStatus final : public IEngineListener {
 public:
  // `ui` prints what a message box would show.
  HeadlessStatus(std::function<void(const std::string&)> print, IUiServices& ui)
      : print_(std::move(print)), ui_(ui) {}

  // Prints "Account status: " + the account line and "SMS credits: " + the credits when they
  // changed.
  void OnLogin(const LoginResult& login) override;
  void OnCredits(const CreditsResult& credits) override;

 private:
  void Report();

  std::function<void(const std::string&)> print_;
  IUiServices& ui_;
  std::string account_;
  std::string credits_ = "0";
  bool creditsShown_ = true;
  std::string printedAccount_;
  std::string printedCredits_;
};

}  // namespace tarnwick
