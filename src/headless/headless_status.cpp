#include "headless/headless_status.h"

#include "controls/dialog_controls.h"
#include "forms/account_caption.h"

namespace tarnwick {

void HeadlessStatus::OnLogin(const LoginResult& login) {
  if (login.step == LoginResult::Step::Started) {
    // The next step follows at once, or once the service answers: it prints both lines.
    credits_ = login.credits;
    return;
  }
  if (const std::optional<std::string> account = AccountCaption(login)) account_ = *account;
  if (const std::optional<bool> shown = CreditsShown(login)) {
    credits_ = login.credits;
    creditsShown_ = *shown;
  }
  // The box's line first, as a window shows its box before the next event.
  // A retry in the background that fails again is no news: the log said so once.
  if (login.step == LoginResult::Step::Unreadable && !login.retry) {
    ui_.MessageBox(std::string(kConnectionErrorMessage), MessageButtons::Ok,
                   std::string(kDialogMessageTitle));
  }
  Report();
}

void HeadlessStatus::OnCredits(const CreditsResult& credits) {
  credits_ = credits.credits;
  Report();
}

void HeadlessStatus::Report() {
  if (account_ != printedAccount_) {
    printedAccount_ = account_;
    print_("Account status: " + account_);
  }
  const std::string credits = creditsShown_ ? credits_ : "";
  if (credits != printedCredits_) {
    printedCredits_ = credits;
    if (!printedCredits_.empty()) print_("SMS credits: " + printedCredits_);
  }
}

}  // namespace tarnwick
