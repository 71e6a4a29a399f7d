#include "platform/qt/qt_url_transport.h"

#include <utility>

namespace tarnwick {

QtUrlTransport::QtUrlTransport(std::chrono::seconds timeout, std::chrono::milliseconds deadline,
                               size_t replyLimit)
    : engine_(CurlUrlTransport::Limits{deadline, replyLimit, timeout}) {
  pump_.setInterval(kPumpInterval);
  QObject::connect(&pump_, &QTimer::timeout, [this] { Pump(); });
}

// The timer stops first; reads still pending end with the engine, without a completion.
QtUrlTransport::~QtUrlTransport() {
  pump_.stop();
}

void QtUrlTransport::Get(const std::string& url, Completion done) {
  engine_.Get(url, std::move(done));
  // The request goes out with the event loop's next turn, not a pump interval later.
  QTimer::singleShot(0, &pump_, [this] { Pump(); });
  if (!pump_.isActive()) pump_.start();
}

void QtUrlTransport::Pump() {
  // Never waits: the event loop stays free for the window and the other timers.
  engine_.WaitFor(std::chrono::milliseconds(0));
  if (engine_.Pending() == 0) pump_.stop();
}

}  // namespace tarnwick
