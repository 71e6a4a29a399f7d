#include "headless/headless_status.h"

#include "forms/main_window_model.h"

namespace tarnwick {

void HeadlessStatus::Report(const MainWindowModel& model) {
  if (model.Label4.caption != account_) {
    account_ = model.Label4.caption;
    print_("Account status: " + account_);
  }
  const std::string credits = model.Label7.visible ? model.Label7.caption : "";
  if (credits != credits_) {
    credits_ = credits;
    if (!credits_.empty()) print_("SMS credits: " + credits_);
  }
}

}  // namespace tarnwick
