// The History window as a model: two graphs (CPU %, memory %) over a chosen span with the
// thresholds and the alerts, the value and top processes under the pointer, and the span's top
// processes with the samples of one of them. The Qt view draws this state and forwards events.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/clock.h"
#include "history/history_recorder_hook.h"
#include "history/history_store.h"
#include "settings/settings.h"

namespace tarnwick {

inline constexpr std::string_view kHistoryCaption = "Usage history";
inline constexpr std::string_view kHistoryOffNote = "The usage history is off; see the log.";
inline constexpr std::string_view kNoSamplesNote = "No samples in this span.";
inline constexpr std::string_view kSamplesOfStart = "Samples of ";

struct HistorySpan {
  std::string_view caption;
  int64_t seconds;
};
inline constexpr std::array<HistorySpan, 4> kHistorySpans{{{"Last hour", 3600},
                                                           {"Last 6 hours", 6 * 3600},
                                                           {"Last day", 86400},
                                                           {"Last week", 7 * 86400}}};

// An alert on the graphs, at the values of the bucket nearest to it.
struct AlertMarker {
  int64_t t = 0;
  int cpu = 0;
  int mem = 0;
  std::string text;
};

class HistoryWindowModel {
 public:
  // The graphs have about this many points whatever the span: the store aggregates into
  // buckets of span / kGraphPoints seconds.
  static constexpr int64_t kGraphPoints = 720;
  // The span shown when the window opens.
  static constexpr int kDefaultSpan = 2;

  // `store` and `recorder` may be null (no history in this build or on this machine).
  HistoryWindowModel(IClock& clock, const Settings& settings, IHistoryStore* store,
                     IHistoryRecorder* recorder);

  // ---- Event handlers ----
  // Log > History: shows the window over the chosen span, up to now.
  void Show();
  void OnSpanClick(int index);
  // The pointer is over the graphs at time `t`.
  void OnHover(int64_t t);
  // A double click on a row of the top processes' table.
  void OnTopDoubleClick(int row);
  void OnClose();

  // ---- Controls ----
  std::string caption = std::string(kHistoryCaption);
  bool visible = false;
  int spanIndex = kDefaultSpan;
  int64_t from = 0;  // the span shown, [from, to)
  int64_t to = 0;
  int64_t bucketSeconds = 1;
  std::vector<SeriesPoint> points;
  std::optional<int> cpuThreshold;  // the threshold lines; none when the setting is no number
  std::optional<int> memThreshold;
  std::vector<AlertMarker> alerts;
  std::string lblNote;   // history off, or no samples
  std::string lblHover;  // time, values and top processes under the pointer
  std::vector<TopSummaryRow> topRows;
  std::string lblSamples;  // "Samples of NAME"
  std::vector<TopEntry> processSamples;

  // Index of the point nearest to `t` (-1 when there are none).
  int NearestPoint(int64_t t) const;

 private:
  void Refresh();

  IClock& clock_;
  const Settings& settings_;
  IHistoryStore* store_;
  IHistoryRecorder* recorder_;
};

}  // namespace tarnwick
