// The program's side of the web SMS/mail service: the login with its reply, the credit update
// that follows every send, and the request builders that also start the SMTP copy.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/login_recovery.h"
#include "results/engine_results.h"

namespace tarnwick {

class AsyncRead;
struct AsyncProperty;
class Engine;
class SmtpMailer;

inline constexpr std::string_view kWaitingForLogin = "Waiting for login .....";
inline constexpr std::string_view kNoAccountLog =
    "Email account or Password is empty. Please setup the account in File > Setup to send alerts";

// The first steps of every login: monitoring off, credits "0", logged out.
void BeginLogin(Engine& engine);
// The end of a login without an account: its log line, and monitoring on at once.
void LoginWithoutAccount(Engine& engine);

class ServiceClient {
 public:
  // `read1` carries the login and send-SMS requests, `read2` the credit updates.
  ServiceClient(Engine& engine, AsyncRead& read1, AsyncRead& read2, SmtpMailer& mailer);

  // Starts a login and returns at once; monitoring is off until the reply arrives (or on again at
  // once when no account is set up).
  void ServiceLogin();

  // Every second of monitoring: a retry that is due starts, and an alert held for a login that
  // has succeeded goes out.
  void OnTick();
  // An alert or notice found no login. Where logins are tried again, one starts now (unless one is
  // under way) and `message` waits for it: it goes out once logged in, or is dropped with a line
  // when that login fails. Only the latest held message is kept.
  void HoldForLogin(const std::string& message);
  // The account the settings hold changed or went away: a retry of the old one stops.
  void ForgetFailures() { recovery_.Reset(); }

  // The send-SMS URL. When the mail list qualifies and the second SMTP server is on, the same
  // text also goes out through the mailer, as subject and body.
  std::string BuildSmsRequest(int16_t unicode, const std::string& email,
                              const std::string& password, const std::string& apiId,
                              const std::string& from, const std::string& recipients,
                              const std::string& message);
  // The mail-only URL, built first; with the second SMTP server on, the message is then mailed
  // and its line breaks become "<br>" in the caller's variable.
  std::string BuildMailAlertRequest(const std::string& email, const std::string& password,
                                    const std::string& list, std::string& message);

  // Completions of the login/send-SMS reader and of the credit update reader.
  void OnRead1Complete(AsyncRead& reader, const AsyncProperty& completion);
  void OnRead2Complete(AsyncRead& reader, const AsyncProperty& completion);

 private:
  void HandleLoginReply(const std::string& reply, bool retry);
  void RequestCreditUpdate();
  // A login in the background: monitoring goes on, and only its outcome is announced.
  void RetryLogin();
  // Sends the request of a login; false when no account is set up.
  bool StartLoginRequest();
  void DropHeld();

  void Announce(const LoginResult& result);

  Engine& engine_;
  AsyncRead& read1_;
  AsyncRead& read2_;
  SmtpMailer& mailer_;
  LoginRecovery recovery_;
  // The login request on its way is a retry.
  bool retryInFlight_ = false;
  std::optional<std::string> held_;
};

}  // namespace tarnwick
