// WorkerUrlTransport: libcurl reads on a worker thread for a program whose UI thread runs a
// message loop. Every completion is handed to the poster (the UI thread's queue), never run on
// the worker or inside Get; reads many at once all complete; reads still pending when the
// transport goes never complete.
#include "platform/curl/worker_url_transport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "scripted_http_server.h"

namespace tarnwick::testing {
namespace {

using namespace std::chrono_literals;

// The UI thread's queue: work posted from any thread, run by the test's own thread.
class PostedQueue {
 public:
  PostToUiThread Poster() {
    return [this](std::function<void()> work) {
      const std::lock_guard<std::mutex> lock(mutex_);
      work_.push_back(std::move(work));
      changed_.notify_all();
    };
  }
  // Runs posted work on this thread until `done` or the limit.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      std::deque<std::function<void()>> ready;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!changed_.wait_until(lock, end, [this] { return !work_.empty(); })) return done();
        ready.swap(work_);
      }
      for (auto& work : ready) work();
    }
    return true;
  }
  size_t Waiting() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return work_.size();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> work_;
};

std::string Reply(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

TEST(WorkerUrlTransport, EveryCompletionComesThroughThePosterOnTheUiThread) {
  ScriptedHttpServer server([](ScriptedHttpServer& s, const std::string& target, int fd) {
    s.Send(fd, Reply("answer to " + target));
  });
  PostedQueue ui;
  WorkerUrlTransport transport(ui.Poster());
  const std::thread::id uiThread = std::this_thread::get_id();
  std::vector<std::string> answers;
  bool wrongThread = false;
  const std::string base = "http://127.0.0.1:" + std::to_string(server.port());
  for (int i = 0; i < 5; ++i) {
    transport.Get(base + "/r" + std::to_string(i), [&](bool ok, std::string bytes) {
      wrongThread = wrongThread || std::this_thread::get_id() != uiThread;
      answers.push_back(ok ? bytes : "failed");
    });
  }
  EXPECT_TRUE(answers.empty()) << "completed inside Get";
  ASSERT_TRUE(ui.RunUntil([&] { return answers.size() == 5; }, 20s)) << answers.size();
  EXPECT_FALSE(wrongThread);
  for (int i = 0; i < 5; ++i) {
    EXPECT_NE(std::find(answers.begin(), answers.end(), "answer to /r" + std::to_string(i)),
              answers.end());
  }
}

TEST(WorkerUrlTransport, ReadsPendingWhenItGoesNeverComplete) {
  // A server that answers only after the transport is gone.
  ScriptedHttpServer server([](ScriptedHttpServer& s, const std::string&, int fd) {
    std::this_thread::sleep_for(1500ms);
    s.Send(fd, Reply("late"));
  });
  PostedQueue ui;
  bool completed = false;
  {
    WorkerUrlTransport transport(ui.Poster());
    transport.Get("http://127.0.0.1:" + std::to_string(server.port()) + "/slow",
                  [&](bool, std::string) { completed = true; });
    std::this_thread::sleep_for(200ms);
  }
  ui.RunUntil([] { return false; }, 2500ms);
  EXPECT_FALSE(completed);
  EXPECT_EQ(ui.Waiting(), 0u);
}

}  // namespace
}  // namespace tarnwick::testing
