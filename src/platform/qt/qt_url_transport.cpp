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

// A 2xx status of a reply that ended without a network error. A redirect that was refused ends
// the read aborted, so it fails here too.
bool Succeeded(QNetworkReply& reply) {
  if (reply.error() != QNetworkReply::NoError) return false;
  const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
  if (!status.isValid()) return false;  // not HTTP at all (file:, data:)
  const int code = status.toInt();
  return code >= 200 && code <= 299;
}

// What a read has collected so far; owned by its reply.
struct ReadState : QObject {
  explicit ReadState(QObject* parent) : QObject(parent) {}
  QByteArray body;
  bool refused = false;  // past the deadline or the size limit, or a redirect not allowed
  int redirects = 0;     // followed so far
};

}  // namespace

QtUrlTransport::QtUrlTransport(std::chrono::seconds timeout, std::chrono::milliseconds deadline,
                               size_t replyLimit)
    : pending_(std::make_unique<QObject>()),
      timeout_(timeout),
      deadline_(deadline),
      replyLimit_(replyLimit) {}

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
  // Each redirect is put to RedirectAllowed in the redirected handler below.
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::UserVerifiedRedirectPolicy);
  request.setMaximumRedirectsAllowed(kUrlRedirectLimit + 1);
  request.setTransferTimeout(
      static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(timeout_).count()));

  QNetworkReply* reply = manager_.get(request);
  auto* state = new ReadState(reply);
  const qint64 limit = static_cast<qint64>(replyLimit_);

  // The whole read, redirects included, ends by the deadline however slowly bytes trickle in.
  auto* deadline = new QTimer(reply);
  deadline->setSingleShot(true);
  QObject::connect(deadline, &QTimer::timeout, reply, [reply, state] {
    state->refused = true;
    reply->abort();
  });
  deadline->start(static_cast<int>(deadline_.count()));

  QObject::connect(reply, &QNetworkReply::redirected, reply, [reply, state](const QUrl& next) {
    // Counted here: Qt's own limit lets one more through than it names.
    if (++state->redirects <= kUrlRedirectLimit &&
        RedirectAllowed(reply->url().toString().toStdString(), next.toString().toStdString())) {
      // A redirect's own body is not the reply.
      state->body.clear();
      emit reply->redirectAllowed();
    } else {
      state->refused = true;
      reply->abort();
    }
  });
  // The body is taken as it arrives, so a flood never piles up beyond the limit.
  QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, state, limit] {
    if (state->refused) return;
    const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    if (announced > limit || state->body.size() + reply->bytesAvailable() > limit) {
      state->refused = true;
      reply->abort();
      return;
    }
    state->body += reply->readAll();
  });
  QObject::connect(reply, &QNetworkReply::finished, pending_.get(),
                   [reply, state, limit, done = std::move(done)] {
                     bool ok = !state->refused && Succeeded(*reply);
                     std::string bytes;
                     if (ok) {
                       state->body += reply->readAll();
                       ok = state->body.size() <= limit;
                     }
                     if (ok) bytes = state->body.toStdString();
                     reply->deleteLater();
                     done(ok, std::move(bytes));
                   });
}

}  // namespace tarnwick
