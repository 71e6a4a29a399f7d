// The program's side of the web SMS/mail service: the login with its reply, the credit update
// that follows every send, and the request builders that also start the SMTP copy.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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
  void HandleLoginReply(const std::string& reply);
  void RequestCreditUpdate();

  void Announce(const LoginResult& result);

  Engine& engine_;
  AsyncRead& read1_;
  AsyncRead& read2_;
  SmtpMailer& mailer_;
};

}  // namespace tarnwick
