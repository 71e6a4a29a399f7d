#include "engine/login_recovery.h"

#include <algorithm>
#include <string>
#include <utility>

namespace tarnwick {

namespace {

constexpr long long kNsPerMs = 1'000'000;
// The largest stretch of a wait, as a share of it.
constexpr double kSpread = 0.1;

}  // namespace

long long LoginRetryDelayMs(int failures, double unit) {
  long long base = kFirstLoginRetryMs;
  for (int i = 1; i < failures && base < kLongestLoginRetryMs; ++i) base *= 2;
  base = std::min(base, kLongestLoginRetryMs);
  const double stretch = std::clamp(unit, 0.0, 1.0) * kSpread;
  return base + static_cast<long long>(static_cast<double>(base) * stretch);
}

LoginRecovery::LoginRecovery(LoginRetry mode, std::function<double()> random,
                             std::function<void(const std::string&)> log)
    : mode_(mode), random_(std::move(random)), log_(std::move(log)) {}

void LoginRecovery::Failed(bool refused, long long nowNs) {
  inFlight_ = false;
  if (mode_ == LoginRetry::Off || (refused && mode_ == LoginRetry::AfterConnectionFailure)) {
    // The user decides when to try again; a later failure starts the count afresh.
    failures_ = 0;
    dueNs_ = kNever;
    return;
  }
  if (failures_ == 0) log_(std::string(kLoginRetryingLine));
  // Capped: after a few months of failures the count must not overflow.
  if (failures_ < 1000) ++failures_;
  dueNs_ = nowNs + LoginRetryDelayMs(failures_, random_ ? random_() : 0.0) * kNsPerMs;
}

void LoginRecovery::Succeeded() {
  inFlight_ = false;
  if (failures_ > 0) {
    log_(std::string(kLoginRecoveredStart) + std::to_string(failures_) +
         (failures_ == 1 ? " failed login" : " failed logins"));
  }
  failures_ = 0;
  dueNs_ = kNever;
}

bool LoginRecovery::TakeDue(long long nowNs) {
  if (inFlight_ || dueNs_ == kNever || nowNs < dueNs_) return false;
  inFlight_ = true;
  dueNs_ = kNever;
  return true;
}

bool LoginRecovery::RetryNow(long long nowNs) {
  if (mode_ == LoginRetry::Off) return false;
  if (mode_ == LoginRetry::AfterConnectionFailure && failures_ == 0) return false;
  if (inFlight_) return true;
  dueNs_ = nowNs;
  return TakeDue(nowNs);
}

void LoginRecovery::Reset() {
  failures_ = 0;
  dueNs_ = kNever;
  inFlight_ = false;
}

}  // namespace tarnwick
