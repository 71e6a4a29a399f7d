// The once-a-minute list of the top processes by CPU and by memory, taken even while the usage
// stays under the thresholds. It reads the processes once per call; the CPU share is measured
// over the time since its previous call, so the list says who used the CPU in the last minute.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "domain/history_types.h"
#include "platform/process_list.h"

namespace tarnwick {

class ITopScan {
 public:
  virtual ~ITopScan() = default;
  // Up to `count` entries of each kind, ranks from 1 (times left 0). Empty when the processes
  // cannot be read; the CPU list is empty on the first call, which has no interval yet.
  virtual std::vector<TopEntry> TopProcesses(int count) = 0;
};

class ProcessTopScan final : public ITopScan {
 public:
  // `processorCount` turns a share of one processor into a share of the machine;
  // `totalMemoryBytes` gives the total memory now (0 or less: no memory shares);
  // `executableSuffix` is appended to names, as the rankings do.
  ProcessTopScan(IProcessLister& lister, IClock& clock, int processorCount,
                 std::function<int64_t()> totalMemoryBytes, std::string executableSuffix);

  std::vector<TopEntry> TopProcesses(int count) override;

  struct Candidate {
    size_t index;  // into the scan
    double share;
  };

 private:
  IProcessLister& lister_;
  IClock& clock_;
  int processorCount_;
  std::function<int64_t()> totalMemoryBytes_;
  std::string suffix_;
  struct Earlier {
    int pid;
    uint64_t startTicks;
    uint64_t cpuTimeNs;
    bool operator<(const Earlier& o) const {
      return pid != o.pid ? pid < o.pid : startTicks < o.startTicks;
    }
  };
  std::vector<Earlier> before_;        // the previous scan's processes, sorted
  std::vector<Candidate> candidates_;  // candidates of one list
  long long previousNs_ = 0;
  bool havePrevious_ = false;
};

}  // namespace tarnwick
