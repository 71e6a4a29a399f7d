#include "history/history_window_model.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "common/numbers.h"
#include "history/history_time.h"

namespace tarnwick {
namespace {

constexpr std::string_view kTopCpuPart = "Top CPU: ";
constexpr std::string_view kTopMemoryPart = "Top memory: ";
constexpr std::string_view kNoTopPart = "no process recorded near this time";
// The hover looks this far around the pointer for a recorded top list (the once-a-minute list
// is at most a minute away while monitoring runs).
constexpr int64_t kHoverReachSeconds = 90;

std::string Share(double share) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f%%", share);
  return buffer;
}

std::optional<int> Threshold(const std::string& text) {
  const auto value = TextToInt16(text);
  if (!value) return std::nullopt;
  return static_cast<int>(*value);
}

bool IsAlert(HistoryEventKind kind) {
  return kind == HistoryEventKind::AlertRaised || kind == HistoryEventKind::ProgramAlert;
}

}  // namespace

HistoryWindowModel::HistoryWindowModel(IClock& clock, const Settings& settings,
                                       IHistoryStore* store, IHistoryRecorder* recorder)
    : clock_(clock), settings_(settings), store_(store), recorder_(recorder) {}

void HistoryWindowModel::Show() {
  visible = true;
  Refresh();
}

void HistoryWindowModel::OnSpanClick(int index) {
  if (index < 0 || index >= static_cast<int>(kHistorySpans.size())) return;
  spanIndex = index;
  Refresh();
}

void HistoryWindowModel::OnClose() {
  visible = false;
  points.clear();
  alerts.clear();
  topRows.clear();
  processSamples.clear();
  lblHover.clear();
  lblSamples.clear();
}

void HistoryWindowModel::Refresh() {
  // What the recorder holds in memory belongs in the picture too; writing it opens the store
  // (and logs what the opening found). Without a recorder the window opens the store itself.
  if (recorder_ != nullptr) {
    recorder_->Flush();
  } else if (store_ != nullptr && !store_->Open().ok) {
    store_ = nullptr;
  }
  const int64_t span = kHistorySpans[static_cast<size_t>(spanIndex)].seconds;
  to = ToHistorySeconds(clock_.Now()) + 1;
  from = to - span;
  bucketSeconds = std::max<int64_t>(1, span / kGraphPoints);
  cpuThreshold = Threshold(settings_.cpu_High);
  memThreshold = Threshold(settings_.mem_High);
  lblHover.clear();
  lblSamples.clear();
  processSamples.clear();
  alerts.clear();
  const bool on = store_ != nullptr && (recorder_ == nullptr || recorder_->On());
  if (!on) {
    points.clear();
    topRows.clear();
    lblNote = std::string(kHistoryOffNote);
    return;
  }
  points = store_->Series(from, to, bucketSeconds);
  topRows = store_->TopSummary(from, to, 20);
  for (const HistoryEvent& e : store_->Events(from, to)) {
    if (!IsAlert(e.kind)) continue;
    AlertMarker marker{e.t, 0, 0, e.text};
    const int i = NearestPoint(e.t);
    if (i >= 0) {
      marker.cpu = points[static_cast<size_t>(i)].cpu;
      marker.mem = points[static_cast<size_t>(i)].mem;
    }
    alerts.push_back(std::move(marker));
  }
  lblNote = points.empty() ? std::string(kNoSamplesNote) : std::string();
}

int HistoryWindowModel::NearestPoint(int64_t t) const {
  if (points.empty()) return -1;
  // A point stands for its whole bucket: the pointer anywhere in it finds it.
  const auto after = std::upper_bound(points.begin(), points.end(), t,
                                      [](int64_t v, const SeriesPoint& p) { return v < p.t; });
  if (after == points.begin()) return 0;
  const auto before = after - 1;
  if (after == points.end() || t < before->t + bucketSeconds ||
      t - (before->t + bucketSeconds - 1) <= after->t - t) {
    return static_cast<int>(before - points.begin());
  }
  return static_cast<int>(after - points.begin());
}

void HistoryWindowModel::OnHover(int64_t t) {
  const int i = NearestPoint(t);
  if (i < 0) {
    lblHover.clear();
    return;
  }
  const SeriesPoint& p = points[static_cast<size_t>(i)];
  lblHover = HistoryTimeText(p.t) + "  CPU " + std::to_string(p.cpu) + "%  Memory " +
             std::to_string(p.mem) + "%";
  if (store_ == nullptr) return;
  // Near the middle of the bucket, and at least a minute's list around it.
  const int64_t centre = p.t + bucketSeconds / 2;
  const std::vector<TopEntry> entries =
      store_->TopNear(centre, std::max(kHoverReachSeconds, bucketSeconds));
  if (entries.empty()) {
    lblHover += "\n" + std::string(kNoTopPart);
    return;
  }
  std::string cpu, mem;
  for (const TopEntry& e : entries) {
    std::string& list = e.kind == TopKind::Cpu ? cpu : mem;
    if (!list.empty()) list += ", ";
    list += e.name + " " + Share(e.share);
  }
  lblHover += '\n';
  lblHover += HistoryTimeText(entries.front().t);
  if (!cpu.empty()) lblHover += "  " + std::string(kTopCpuPart) + cpu;
  if (!mem.empty()) lblHover += "  " + std::string(kTopMemoryPart) + mem;
}

void HistoryWindowModel::OnTopDoubleClick(int row) {
  if (row < 0 || row >= static_cast<int>(topRows.size()) || store_ == nullptr) return;
  const std::string name = topRows[static_cast<size_t>(row)].name;
  lblSamples = std::string(kSamplesOfStart) + name;
  processSamples = store_->ProcessEntries(name, from, to);
}

}  // namespace tarnwick
