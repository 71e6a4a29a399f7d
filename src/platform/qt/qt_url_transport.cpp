#include "platform/qt/qt_url_transport.h"

#include <QByteArray>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QTimer>
#include <QUrl>
#include <QVariant>
#include <cstdlib>
#include <utility>

namespace tarnwick {
namespace {

// The trust of https reads when SSL_CERT_FILE names a file: the system's CAs and the file's, as
// libcurl has them (its CA file replaced, the system's CA folder kept). A file without a
// certificate in it trusts nobody, as libcurl then fails every https read.
std::optional<QSslConfiguration> TlsFromEnvironment() {
  const char* file = std::getenv("SSL_CERT_FILE");
  if (file == nullptr || *file == '\0') return std::nullopt;
  const QList<QSslCertificate> own = QSslCertificate::fromPath(
      QString::fromLocal8Bit(file), QSsl::Pem, QSslCertificate::PatternSyntax::FixedString);
  QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
  tls.setCaCertificates(own.isEmpty() ? own : QSslConfiguration::systemCaCertificates() + own);
  return tls;
}

std::string Text(const QUrl& url) {
  return url.toString(QUrl::FullyEncoded).toStdString();
}

}  // namespace

// One read with its hops: the URL of the present hop, its reply, the body taken so far and the
// deadline of the whole read. Owned by the transport's pending context; deletes itself once its
// completion has run.
class QtUrlTransport::Read final : public QObject {
 public:
  Read(QtUrlTransport& transport, QUrl url, Completion done)
      : QObject(transport.pending_.get()),
        transport_(transport),
        url_(std::move(url)),
        done_(std::move(done)) {
    deadline_.setSingleShot(true);
    deadline_.setTimerType(Qt::PreciseTimer);  // a coarse timer may end the read early
    QObject::connect(&deadline_, &QTimer::timeout, this, [this] { Refuse(); });
    deadline_.start(transport_.deadline_);
    StartHop();
  }

 private:
  void StartHop() {
    QNetworkRequest request(url_);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setRawHeader("Cache-Control", "no-cache");
    request.setRawHeader("Pragma", "no-cache");
    // Without it Qt asks for gzip and unpacks the reply itself, past the limit.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setTransferTimeout(static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(transport_.timeout_).count()));
    if (transport_.tls_) request.setSslConfiguration(*transport_.tls_);

    body_.clear();
    reply_ = transport_.manager_.get(request);
    reply_->setParent(this);
    // Qt's network thread reads no further ahead than this, whatever the UI thread is doing.
    reply_->setReadBufferSize(Limit() + 1);
    QNetworkReply* reply = reply_;
    QObject::connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
      if (reply != reply_) return;
      if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > Limit()) Refuse();
    });
    // The body is taken as it arrives, so that the limit is seen as soon as it is passed.
    QObject::connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
      if (reply != reply_ || refused_) return;
      if (body_.size() + reply->bytesAvailable() > Limit()) {
        Refuse();
        return;
      }
      body_ += reply->readAll();
    });
    QObject::connect(reply, &QNetworkReply::finished, this, [this, reply] {
      if (reply == reply_) HopFinished();
    });
  }

  qint64 Limit() const { return static_cast<qint64>(transport_.replyLimit_); }

  // Past the deadline or the limit: the read ends aborted.
  void Refuse() {
    refused_ = true;
    if (reply_ != nullptr && reply_->isRunning()) {
      reply_->abort();  // finishes the hop
    } else {
      Complete(false, {});
    }
  }

  void HopFinished() {
    if (refused_) {
      Complete(false, {});
      return;
    }
    const QVariant status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int code = status.isValid() ? status.toInt() : 0;  // not HTTP at all: 0
    const bool complete = reply_->error() == QNetworkReply::NoError;
    if (complete && code >= 300 && code <= 399) {
      FollowRedirect();
      return;
    }
    bool ok = complete && code >= 200 && code <= 299;
    if (ok) {
      body_ += reply_->readAll();
      ok = body_.size() <= Limit();
    }
    Complete(ok, ok ? body_.toStdString() : std::string());
  }

  // The next hop is asked only when the rules allow it: a refused redirect never reaches its
  // target.
  void FollowRedirect() {
    const QByteArray location = reply_->rawHeader("Location").trimmed();
    const QUrl next = url_.resolved(QUrl::fromEncoded(location));
    if (location.isEmpty() || !next.isValid() || redirects_ >= kUrlRedirectLimit ||
        !RedirectAllowed(Text(url_), Text(next))) {
      Complete(false, {});
      return;
    }
    ++redirects_;
    url_ = next;
    reply_->deleteLater();
    StartHop();
  }

  void Complete(bool ok, std::string bytes) {
    if (!done_) return;
    deadline_.stop();
    const Completion done = std::move(done_);
    done_ = nullptr;
    deleteLater();
    done(ok, std::move(bytes));
  }

  QtUrlTransport& transport_;
  QUrl url_;  // of this hop
  Completion done_;
  QTimer deadline_;
  QNetworkReply* reply_ = nullptr;  // of this hop
  QByteArray body_;
  int redirects_ = 0;     // followed so far
  bool refused_ = false;  // past the deadline or the limit
};

QtUrlTransport::QtUrlTransport(std::chrono::seconds timeout, std::chrono::milliseconds deadline,
                               size_t replyLimit)
    : pending_(std::make_unique<QObject>()),
      timeout_(timeout),
      deadline_(deadline),
      replyLimit_(replyLimit),
      tls_(TlsFromEnvironment()) {}

QtUrlTransport::~QtUrlTransport() {
  // Deletes every pending read, with its reply, before any completion can run.
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
  new Read(*this, target, std::move(done));
}

}  // namespace tarnwick
