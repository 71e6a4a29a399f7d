#include "headless/posted_work.h"

#include <utility>

namespace tarnwick {

PostedWork::PostedWork(IEventWait& wait) : state_(std::make_shared<State>()) {
  state_->wait = &wait;
}

PostedWork::~PostedWork() {
  const std::lock_guard<std::mutex> lock(state_->mutex);
  state_->wait = nullptr;
  state_->work.clear();
}

PostToUiThread PostedWork::Poster() {
  return [state = state_](std::function<void()> work) {
    const std::lock_guard<std::mutex> lock(state->mutex);
    if (state->wait == nullptr) return;
    state->work.push_back(std::move(work));
    state->wait->Wake();
  };
}

void PostedWork::RunPending() {
  std::vector<std::function<void()>> ready;
  {
    const std::lock_guard<std::mutex> lock(state_->mutex);
    ready.swap(state_->work);
  }
  for (auto& work : ready) work();
}

}  // namespace tarnwick
