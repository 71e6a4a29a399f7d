#include "platform/curl/worker_url_transport.h"

#include <chrono>
#include <memory>
#include <utility>

namespace tarnwick {
namespace {

// The worker looks for new requests at least this often, even without a wake-up.
constexpr std::chrono::milliseconds kLongestWait{1000};

}  // namespace

WorkerUrlTransport::WorkerUrlTransport(PostToUiThread post, CurlUrlTransport::Limits limits)
    : post_(std::move(post)), curl_(limits), worker_([this] { Run(); }) {}

WorkerUrlTransport::~WorkerUrlTransport() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    requests_.clear();
  }
  curl_.Wake();
  worker_.join();
}

void WorkerUrlTransport::Get(const std::string& url, Completion done) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    requests_.push_back({url, std::move(done)});
  }
  curl_.Wake();
}

void WorkerUrlTransport::Run() {
  for (;;) {
    std::deque<Request> starting;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) return;
      starting.swap(requests_);
    }
    for (Request& request : starting) {
      // The completion holds the caller's callback and travels to the UI thread whole.
      auto done = std::make_shared<Completion>(std::move(request.done));
      curl_.Get(request.url, [this, done](bool ok, std::string bytes) {
        post_([done, ok, bytes = std::move(bytes)]() mutable { (*done)(ok, std::move(bytes)); });
      });
    }
    curl_.WaitFor(kLongestWait);
  }
}

}  // namespace tarnwick
