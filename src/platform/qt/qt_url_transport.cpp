#include "platform/qt/qt_url_transport.h"

#include <QByteArray>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <QVariant>
#include <utility>

namespace tarnwick {
namespace {

// A 2xx status of a reply that ended without a network error. A redirect (3xx) fails here: the
// manual policy hands it over as an ordinary finished reply.
bool Succeeded(QNetworkReply& reply) {
  if (reply.error() != QNetworkReply::NoError) return false;
  const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
  if (!status.isValid()) return false;  // not HTTP at all (file:, data:)
  const int code = status.toInt();
  return code >= 200 && code <= 299;
}

}  // namespace

QtUrlTransport::QtUrlTransport(std::chrono::seconds timeout)
    : pending_(std::make_unique<QObject>()), timeout_(timeout) {}

QtUrlTransport::~QtUrlTransport() {
  // Disconnects every pending completion before the manager deletes (and aborts) its replies.
  pending_.reset();
}

void QtUrlTransport::Get(const std::string& url, Completion done) {
  const QUrl target(QString::fromStdString(url), QUrl::StrictMode);
  const QString scheme = target.scheme().toLower();
  if (!target.isValid() || (scheme != "http" && scheme != "https")) {
    // Still answered later, never from inside Get.
    QTimer::singleShot(0, pending_.get(), [done = std::move(done)] { done(false, {}); });
    return;
  }

  QNetworkRequest request(target);
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
  request.setRawHeader("Cache-Control", "no-cache");
  request.setRawHeader("Pragma", "no-cache");
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::ManualRedirectPolicy);
  request.setTransferTimeout(
      static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(timeout_).count()));

  QNetworkReply* reply = manager_.get(request);
  QObject::connect(reply, &QNetworkReply::finished, pending_.get(),
                   [reply, done = std::move(done)] {
                     const bool ok = Succeeded(*reply);
                     std::string bytes;
                     if (ok) bytes = reply->readAll().toStdString();
                     reply->deleteLater();
                     done(ok, std::move(bytes));
                   });
}

}  // namespace tarnwick
