// IUrlTransport for the desktop program: tarnwickd's libcurl transport, driven from Qt's event
// loop. Both programs read the web service with one engine and so keep one set of rules: the
// redirects followed and refused, the deadline and the silence allowed, the reply cap and the
// memory it bounds, the trusted CAs.
//
// QNetworkAccessManager cannot keep the cap's memory bound: in Qt 6.4 a reply's read buffer size
// reaches Qt's network thread by a queued signal after the request has started, and that thread
// reads ahead without limit until it arrives (hundreds of megabytes of a flood, seen with a
// connection the manager had kept). libcurl reads only while this thread asks it to.
#pragma once

#include <QTimer>
#include <chrono>
#include <cstddef>
#include <string>

#include "domain/url_rules.h"
#include "platform/curl/curl_url_transport.h"
#include "platform/url_transport.h"

namespace tarnwick {

class QtUrlTransport final : public IUrlTransport {
 public:
  // How long a read may go without receiving a byte before it fails.
  static constexpr std::chrono::seconds kDefaultTimeout = kUrlSilenceLimit;
  // How often the engine is given a turn while reads are pending; nothing runs while none is.
  static constexpr std::chrono::milliseconds kPumpInterval{1};

  // Must be created on the UI thread: completions run there, from its event loop. `timeout` is
  // the silence allowed (whole seconds), `deadline` the whole read's time and `replyLimit` the
  // largest reply in bytes; tests shorten them to see a hostile server fail quickly. The trusted
  // CAs of https reads are the system's and those of SSL_CERT_FILE (CurlUrlTransport).
  explicit QtUrlTransport(std::chrono::seconds timeout = kDefaultTimeout,
                          std::chrono::milliseconds deadline = kUrlReadDeadline,
                          size_t replyLimit = kUrlReplyLimit);
  ~QtUrlTransport() override;
  QtUrlTransport(const QtUrlTransport&) = delete;
  QtUrlTransport& operator=(const QtUrlTransport&) = delete;

  // CurlUrlTransport::Get; `done` runs later from the event loop (also from the loop of a message
  // box that a completion opened). Nothing is read while the UI thread is busy elsewhere, so a
  // flood costs no memory then either.
  void Get(const std::string& url, Completion done) override;

 private:
  void Pump();

  CurlUrlTransport engine_;
  QTimer pump_;  // runs while reads are pending
};

}  // namespace tarnwick
