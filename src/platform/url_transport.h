// The network side of the URL reader: one HTTP GET, answered later on the UI thread.
#pragma once

#include <functional>
#include <string>

namespace tarnwick {

class IUrlTransport {
 public:
  // `ok` is true only for a complete reply with a 2xx status; `bytes` is then its body exactly as
  // received (the service answers in plain text, nothing is decoded here). On failure `bytes` is
  // empty.
  using Completion = std::function<void(bool ok, std::string bytes)>;

  virtual ~IUrlTransport() = default;

  // Starts a GET of `url` (http:// or https://) and returns at once. `done` runs exactly once,
  // later, on the UI thread — never from inside Get, so a caller may start the next read from
  // within `done`. It gets ok == false when there is no connection, the server stays silent for
  // the transport's time-out (seconds; 30 in the program), the read has not ended by
  // kUrlReadDeadline after it started, the reply grows past kUrlReplyLimit, the status is not 2xx,
  // a redirect is not allowed by RedirectAllowed or is one more than kUrlRedirectLimit, or the
  // connection drops before the reply is complete (domain/url_rules.h).
  // Reads still pending when the transport is destroyed never complete.
  virtual void Get(const std::string& url, Completion done) = 0;
};

}  // namespace tarnwick
