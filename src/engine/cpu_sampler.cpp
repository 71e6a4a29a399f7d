#include "engine/cpu_sampler.h"

namespace tarnwick {
namespace {

// Counter differences times 10^6 can pass 2^63 after a long uptime.
__extension__ using Int128 = __int128;

// Rounds num/den to a whole number, halves to even (den > 0).
Int128 DivideHalfEven(Int128 num, Int128 den) {
  Int128 q = num / den;
  Int128 r = num % den;
  if (r < 0) {
    r += den;
    q -= 1;
  }
  Int128 twice = 2 * r;
  if (twice > den || (twice == den && (q % 2 != 0))) q += 1;
  return q;
}

}  // namespace

int CpuBusyPercent(uint64_t idleDelta, uint64_t totalDelta, uint32_t processors) {
  if (processors == 0) return -1;
  // Elapsed time of one processor is total / processors, so ratio = idle * processors / total.
  // Everything is kept in units of 0.0001 as the counters' fixed-point arithmetic does.
  Int128 ratio4;
  if (totalDelta == 0) {
    // No time elapsed: the ratio takes the idle difference itself.
    ratio4 = static_cast<Int128>(idleDelta) * 10000;
  } else {
    ratio4 = DivideHalfEven(static_cast<Int128>(idleDelta) * processors * 10000, totalDelta);
  }
  // value = 100 - ratio * 100 / processors + 0.5, held to four decimals, then its whole part.
  Int128 share4 = DivideHalfEven(ratio4 * 100, processors);
  Int128 value4 = 100 * 10000 - share4 + 5000;
  Int128 whole = value4 / 10000;
  if (value4 < 0 && value4 % 10000 != 0) whole -= 1;
  return static_cast<int>(whole);
}

void CpuSampler::Initialize() {
  CpuTimes times;
  if (!source_.Read(times)) return;
  oldIdle_ = times.idle;
  oldTotal_ = times.total;
}

int CpuSampler::Query() {
  CpuTimes times;
  if (!source_.Read(times) || times.processors == 0) return -1;
  uint64_t idle = times.idle >= oldIdle_ ? times.idle - oldIdle_ : 0;
  uint64_t total = times.total >= oldTotal_ ? times.total - oldTotal_ : 0;
  int result = CpuBusyPercent(idle, total, times.processors);
  oldIdle_ = times.idle;
  oldTotal_ = times.total;
  return result;
}

}  // namespace tarnwick
