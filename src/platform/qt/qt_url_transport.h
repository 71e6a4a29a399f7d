// IUrlTransport over QNetworkAccessManager: the transport of the desktop program.
#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "alerts/url_rules.h"
#include "platform/url_transport.h"

namespace tarnwick {

class QtUrlTransport final : public IUrlTransport {
 public:
  // How long a read may go without receiving a byte before it fails.
  static constexpr std::chrono::seconds kDefaultTimeout{30};

  // Must be created on the UI thread: replies are delivered on the thread that owns the manager.
  // `timeout` is the silence allowed (whole seconds), `deadline` the whole read's time and
  // `replyLimit` the largest reply in bytes; tests shorten them to see a hostile server fail
  // quickly.
  explicit QtUrlTransport(std::chrono::seconds timeout = kDefaultTimeout,
                          std::chrono::milliseconds deadline = kUrlReadDeadline,
                          size_t replyLimit = kUrlReplyLimit);
  ~QtUrlTransport() override;
  QtUrlTransport(const QtUrlTransport&) = delete;
  QtUrlTransport& operator=(const QtUrlTransport&) = delete;

  // Every read goes to the network: no cache is read or written, and "Cache-Control: no-cache"
  // and "Pragma: no-cache" ask proxies on the way to do the same, since the same credit-update URL
  // must give the current figure each time. Redirects are followed under RedirectAllowed, at most
  // kUrlRedirectLimit of them; a read that outlives the deadline or whose reply grows past the
  // limit is aborted and fails.
  void Get(const std::string& url, Completion done) override;

 private:
  QNetworkAccessManager manager_;
  // Context of the completions still pending; destroyed first, so replies torn down with the
  // manager call no completion.
  std::unique_ptr<QObject> pending_;
  std::chrono::seconds timeout_;
  std::chrono::milliseconds deadline_;
  size_t replyLimit_;
};

}  // namespace tarnwick
