// IUrlTransport over QNetworkAccessManager: the transport of the desktop program.
#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QSslConfiguration>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
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
  // quickly. The trusted CAs of https reads are the system's and, when SSL_CERT_FILE names a PEM
  // file as the transport is made, the file's too (as for libcurl and the mailer); a file that
  // holds no certificate trusts nobody.
  explicit QtUrlTransport(std::chrono::seconds timeout = kDefaultTimeout,
                          std::chrono::milliseconds deadline = kUrlReadDeadline,
                          size_t replyLimit = kUrlReplyLimit);
  ~QtUrlTransport() override;
  QtUrlTransport(const QtUrlTransport&) = delete;
  QtUrlTransport& operator=(const QtUrlTransport&) = delete;

  // The rules of CurlUrlTransport, kept the same way. Every read goes to the network: no cache is
  // read or written, and "Cache-Control: no-cache" and "Pragma: no-cache" ask proxies on the way
  // to do the same, since the same credit-update URL must give the current figure each time. The
  // body is taken as sent ("Accept-Encoding: identity", nothing unpacked). Redirects are followed
  // here, hop by hop, under RedirectAllowed and at most kUrlRedirectLimit of them: a refused one
  // sends nothing to its target. A read that outlives the deadline, or whose reply announces or
  // grows past the limit, is aborted and fails; Qt never buffers more than the limit of it,
  // however fast the server sends and however long the UI thread is busy.
  void Get(const std::string& url, Completion done) override;

 private:
  class Read;

  QNetworkAccessManager manager_;
  // Context of the reads still pending; destroyed first, so that replies torn down with the
  // manager call no completion.
  std::unique_ptr<QObject> pending_;
  std::chrono::seconds timeout_;
  std::chrono::milliseconds deadline_;
  size_t replyLimit_;
  // The CAs with those of SSL_CERT_FILE; none: the system's.
  std::optional<QSslConfiguration> tls_;
};

}  // namespace tarnwick
