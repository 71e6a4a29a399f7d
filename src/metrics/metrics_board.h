// The one copy of the snapshot shared by the UI thread, which publishes a new one after each
// cycle, and the metrics endpoint, which copies it for each scrape. Neither waits for the other
// beyond the copy of a few hundred bytes.
#pragma once

#include <mutex>

#include "metrics/metrics_snapshot.h"

namespace tarnwick {

class MetricsBoard {
 public:
  void Publish(const MetricsSnapshot& snapshot);
  MetricsSnapshot Snapshot() const;

 private:
  mutable std::mutex mutex_;
  MetricsSnapshot current_;
};

}  // namespace tarnwick
