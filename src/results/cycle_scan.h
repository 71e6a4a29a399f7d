// The monitor cycle's one scan of the processes, shared with whoever shows processes, so that
// showing them costs no scan of its own.
#pragma once

#include <vector>

#include "platform/process_list.h"

namespace tarnwick {

class ICycleScan {
 public:
  virtual ~ICycleScan() = default;
  // The scan of cycle `cycle` (taken on the first call in that cycle); nullptr when the process
  // table cannot be read.
  virtual const ProcessSnapshot* Current(long cycle) = 0;
  // Share of one processor in percent for every process of the current scan (same order), over
  // the interval since the scan of the previous cycle, or over a short second scan when there is
  // none. False when a scan fails, or, with `secondScan` false, when no scan of the previous
  // cycle is at hand.
  virtual bool CpuShares(long cycle, std::vector<double>& shares, bool secondScan = true) = 0;
};

}  // namespace tarnwick
