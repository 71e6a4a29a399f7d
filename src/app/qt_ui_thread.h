// The UI thread of the Qt program: work posted from any thread runs in the event loop, followed
// by a hook (the program renders its window there, as after any other event).
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/ui_thread.h"

namespace tarnwick {

class QtUiThread {
 public:
  // Made on the UI thread, once the application exists.
  QtUiThread();
  // Work posted from now on is dropped, and so is work posted before that has not run yet.
  ~QtUiThread();
  QtUiThread(const QtUiThread&) = delete;
  QtUiThread& operator=(const QtUiThread&) = delete;

  // A poster that stays safe to call after this object is gone.
  PostToUiThread Poster() const;
  // Runs on the UI thread after each piece of posted work.
  void SetAfterWork(std::function<void()> hook);

 private:
  struct Gate {
    std::mutex mutex;
    QObject* receiver = nullptr;  // null once the UI thread has ended
    std::function<void()> afterWork;
  };
  std::shared_ptr<Gate> gate_;
  std::unique_ptr<QObject> receiver_;
};

}  // namespace tarnwick
