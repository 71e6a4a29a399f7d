#include "ui_thread.h"

#include <utility>

namespace tarnwick::win32 {
namespace {

constexpr wchar_t kClassName[] = L"TarnwickPostedWork";
constexpr UINT kRunPosted = WM_APP + 10;

}  // namespace

Win32UiThread::Win32UiThread() : state_(std::make_shared<State>()) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &Win32UiThread::WindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kClassName;
  RegisterClassExW(&windowClass);
  window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), this);
  const std::lock_guard<std::mutex> lock(state_->mutex);
  state_->window = window_;
}

Win32UiThread::~Win32UiThread() {
  {
    const std::lock_guard<std::mutex> lock(state_->mutex);
    state_->window = nullptr;
    state_->work.clear();
  }
  if (window_ != nullptr) DestroyWindow(window_);
}

PostToUiThread Win32UiThread::Poster() {
  return [state = state_](std::function<void()> work) {
    const std::lock_guard<std::mutex> lock(state->mutex);
    if (state->window == nullptr) return;
    const bool wasEmpty = state->work.empty();
    state->work.push_back(std::move(work));
    // One message wakes the UI thread for everything queued until it runs.
    if (wasEmpty) PostMessageW(state->window, kRunPosted, 0, 0);
  };
}

void Win32UiThread::RunPending() {
  std::vector<std::function<void()>> ready;
  {
    const std::lock_guard<std::mutex> lock(state_->mutex);
    ready.swap(state_->work);
  }
  if (ready.empty()) return;
  for (auto& work : ready) work();
  if (afterWork_) afterWork_();
}

LRESULT CALLBACK Win32UiThread::WindowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  if (message == kRunPosted) {
    auto* self = reinterpret_cast<Win32UiThread*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr) self->RunPending();
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace tarnwick::win32
