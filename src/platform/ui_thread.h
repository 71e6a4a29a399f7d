// Handing the result of work done on another thread back to the one user-interface thread, where
// every model lives.
#pragma once

#include <functional>

namespace tarnwick {

// Runs `work` on the UI thread, between events, after the handler running there now has
// returned (never inside the call). Callable from any thread; a worker keeps its own copy. Once
// the UI has ended, work posted to it is dropped.
using PostToUiThread = std::function<void(std::function<void()> work)>;

}  // namespace tarnwick
