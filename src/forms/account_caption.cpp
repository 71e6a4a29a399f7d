#include "forms/account_caption.h"

namespace tarnwick {

std::optional<std::string> AccountCaption(const LoginResult& step) {
  switch (step.step) {
    case LoginResult::Step::Started:
      return std::nullopt;
    case LoginResult::Step::Connecting:
      return std::string(kConnectingLabel);
    case LoginResult::Step::NoAccount:
      return std::string(kNoAccountLabel);
    case LoginResult::Step::Refused:
      return step.reply;
    case LoginResult::Step::Accepted:
      return std::string(kAccountStart) + step.account;
    case LoginResult::Step::Unreadable:
      return std::string(kLoginFailedLabel);
  }
  return std::nullopt;
}

std::optional<bool> CreditsShown(const LoginResult& step) {
  if (step.step == LoginResult::Step::Refused) return false;
  if (step.step == LoginResult::Step::Accepted) return true;
  return std::nullopt;
}

}  // namespace tarnwick
