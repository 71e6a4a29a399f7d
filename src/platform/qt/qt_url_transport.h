// IUrlTransport over QNetworkAccessManager: the transport of the desktop program.
#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <chrono>
#include <memory>
#include <string>

#include "platform/url_transport.h"

namespace tarnwick {

class QtUrlTransport final : public IUrlTransport {
 public:
  // How long a read may go without receiving a byte before it fails.
  static constexpr std::chrono::seconds kDefaultTimeout{30};

  // Must be created on the UI thread: replies are delivered on the thread that owns the manager.
  // `timeout` is in whole seconds (tests use 1-2 s to see a silent server fail quickly).
  explicit QtUrlTransport(std::chrono::seconds timeout = kDefaultTimeout);
  ~QtUrlTransport() override;
  QtUrlTransport(const QtUrlTransport&) = delete;
  QtUrlTransport& operator=(const QtUrlTransport&) = delete;

  // Every read goes to the network: no cache is read or written, and "Cache-Control: no-cache"
  // and "Pragma: no-cache" ask proxies on the way to do the same, since the same credit-update URL
  // must give the current figure each time. Redirects are not followed.
  void Get(const std::string& url, Completion done) override;

 private:
  QNetworkAccessManager manager_;
  // Context of the completions still pending; destroyed first, so replies torn down with the
  // manager call no completion.
  std::unique_ptr<QObject> pending_;
  std::chrono::seconds timeout_;
};

}  // namespace tarnwick
