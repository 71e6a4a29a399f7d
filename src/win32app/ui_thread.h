// Work handed to the UI thread from other threads (URL read completions, mailer exits, the test
// mail's answer): queued, and run by a message-only window of the UI thread between messages.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/ui_thread.h"

namespace tarnwick::win32 {

class Win32UiThread {
 public:
  // Must be made on the UI thread, which then runs the posted work.
  Win32UiThread();
  // Work posted after this is gone is dropped.
  ~Win32UiThread();
  Win32UiThread(const Win32UiThread&) = delete;
  Win32UiThread& operator=(const Win32UiThread&) = delete;

  // Callable from any thread; each poster keeps the queue alive.
  PostToUiThread Poster();
  // Runs after each batch of posted work; the program renders its windows there.
  void SetAfterWork(std::function<void()> hook) { afterWork_ = std::move(hook); }
  // Runs the work posted so far (the window does this on its message).
  void RunPending();

 private:
  struct State {
    std::mutex mutex;
    std::vector<std::function<void()>> work;
    HWND window = nullptr;  // null once the queue is gone
  };
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  std::shared_ptr<State> state_;
  std::function<void()> afterWork_;
  HWND window_ = nullptr;
};

}  // namespace tarnwick::win32
