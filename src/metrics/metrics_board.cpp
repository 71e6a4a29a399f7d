#include "metrics/metrics_board.h"

namespace tarnwick {

void MetricsBoard::Publish(const MetricsSnapshot& snapshot) {
  const std::lock_guard<std::mutex> lock(mutex_);
  current_ = snapshot;
}

MetricsSnapshot MetricsBoard::Snapshot() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return current_;
}

}  // namespace tarnwick
