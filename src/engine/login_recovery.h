// A login that failed is tried again in the background: 30 s after the failure, then after twice
// the wait each time up to 15 minutes, each wait stretched by up to a tenth at random so that a
// fleet started by the same outage does not come back in step. The log gets one line when the
// account is lost and one when it is back, never one per try.
#pragma once

#include <functional>
#include <string_view>

namespace tarnwick {

// Which failed logins are tried again.
enum class LoginRetry {
  Off,                     // only the user's Login starts a login
  AfterConnectionFailure,  // an answer that could not be read; a refused password waits for the
                           // user, who has a Login menu
  AfterAnyFailure,         // also a refusal: no one is there to press Login (tarnwickd)
};

inline constexpr long long kFirstLoginRetryMs = 30'000;
inline constexpr long long kLongestLoginRetryMs = 15 * 60'000;

// The wait before try `failures` + 1, in milliseconds; `unit` is a random number in [0, 1).
long long LoginRetryDelayMs(int failures, double unit);

inline constexpr std::string_view kLoginRetryingLine =
    "Login failed: trying again in the background, after 30 seconds and then less often (at "
    "most every 15 minutes)";
inline constexpr std::string_view kLoginRecoveredStart = "Logged in again after ";
inline constexpr std::string_view kHeldAlertLine =
    "Not logged in: logging in again before the alert goes out";
inline constexpr std::string_view kHeldAlertSentLine =
    "Logged in: sending the alert held while not logged in";
inline constexpr std::string_view kHeldAlertDroppedLine =
    "The login failed: the alert held while not logged in is not sent";

class LoginRecovery {
 public:
  // `random` gives numbers in [0, 1); `log` writes a line of the activity log.
  LoginRecovery(LoginRetry mode, std::function<double()> random,
                std::function<void(const std::string&)> log);

  // The outcome of any login, the user's or a retry; `refused` tells the service's "no" from an
  // answer that could not be read. `nowNs` is the monotonic clock.
  void Failed(bool refused, long long nowNs);
  void Succeeded();
  // The user started a login: the schedule waits for its outcome.
  void UserLogin() { dueNs_ = kNever; }

  // A retry is due now (and is then counted as under way until its outcome).
  bool TakeDue(long long nowNs);
  // An alert found no login: a retry may start at once (true also while one is under way). False
  // when this program does not try again now: no retries at all, or, where the user has a Login
  // menu, no connection failure to recover from.
  bool RetryNow(long long nowNs);
  // The account is gone (the settings no longer hold one): nothing is tried again.
  void Reset();

  bool retrying() const { return failures_ > 0; }

 private:
  static constexpr long long kNever = -1;

  LoginRetry mode_;
  std::function<double()> random_;
  std::function<void(const std::string&)> log_;
  int failures_ = 0;
  long long dueNs_ = kNever;
  bool inFlight_ = false;
};

}  // namespace tarnwick
