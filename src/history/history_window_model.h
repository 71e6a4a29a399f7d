// The History window as a model: two graphs (CPU %, memory %) over a chosen span with the
// thresholds and each watch's alerts on its own graph, zoomed by dragging and back by a button;
// the value and top processes under the pointer; the span's events as a sortable, filterable
// list whose selection marks and shows the event on the graphs; the top processes of what the
// graphs show with the samples of one of them; the export of what the graphs show as CSV and as
// a picture. It refreshes itself once a minute while open. Views draw this state (rows of text,
// points, markers with their texts) and forward events; they hold no behaviour.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "common/clock.h"
#include "controls/form_controls.h"
#include "history/history_recorder_hook.h"
#include "history/time_axis.h"
#include "platform/history_store.h"
#include "platform/ui_services.h"
#include "settings/settings.h"

namespace tarnwick {

inline constexpr std::string_view kHistoryCaption = "Usage history";
inline constexpr std::string_view kHistoryOffNote = "The usage history is off; see the log.";
inline constexpr std::string_view kNoSamplesNote = "No samples in this span.";
inline constexpr std::string_view kSamplesOfStart = "Samples of ";
inline constexpr std::string_view kExportedStart = "Written to ";
inline constexpr std::string_view kCannotWriteStart = "Cannot write the file ";
inline constexpr std::string_view kExportIncompleteStart =
    "The history could not be read to the end; this file is incomplete: ";

struct HistorySpan {
  std::string_view caption;
  int64_t seconds;
};
inline constexpr std::array<HistorySpan, 5> kHistorySpans{
    {{"1 h", 3600}, {"6 h", 6 * 3600}, {"1 d", 86400}, {"7 d", 7 * 86400}, {"31 d", 31 * 86400}}};

// The columns of the events list, in order.
enum class EventColumn { Time, Kind, Watch, Value, Top, Kill, Sent, Message };
inline constexpr std::array<std::string_view, 8> kEventColumns{
    "Time", "Kind", "Watch", "Value", "Top process", "Kill", "Sent", "Message"};
// The events list's filter by kind, in the order the view offers it: each lets through the
// kinds whose bits (1 << kind) it holds.
struct EventFilter {
  std::string_view caption;
  unsigned kinds;
};
inline constexpr unsigned KindBit(HistoryEventKind kind) {
  return 1u << static_cast<unsigned>(kind);
}
inline constexpr std::array<EventFilter, 6> kEventFilters{{
    {"All events", ~0u},
    {"Alerts", KindBit(HistoryEventKind::AlertRaised)},
    {"Program alerts", KindBit(HistoryEventKind::ProgramAlert)},
    {"Back to normal", KindBit(HistoryEventKind::BackToNormal)},
    {"Terminations", KindBit(HistoryEventKind::ProcessTerminated)},
    {"Monitoring started and stopped",
     KindBit(HistoryEventKind::MonitoringStarted) | KindBit(HistoryEventKind::MonitoringStopped)},
}};

// One row of the events list: its cells as shown, in the order of kEventColumns.
struct EventRow {
  int64_t id = 0;
  int64_t t = 0;
  std::array<std::string, kEventColumns.size()> cells;
  std::string tip;       // the event in words, with its whole message
  bool alert = false;    // an alert or a program alert
  bool logOnly = false;  // only written to the log, never sent
};

enum class MarkerStyle { Alert, LogOnly };

// An alert on its watch's graph, at the graph's value nearest to it.
struct GraphMarker {
  int64_t t = 0;
  int value = 0;
  MarkerStyle style = MarkerStyle::Alert;
  std::string tip;  // what the marker's tooltip says
  int64_t eventId = 0;
  bool selected = false;
};

// What the window's exports need from the program. Without `ui` or `createFile` nothing is
// exported (the buttons are off).
struct HistoryExport {
  IUiServices* ui = nullptr;
  // Creates (or empties) the file for writing, readable by its owner only; null when it cannot,
  // with errno saying why.
  std::function<std::unique_ptr<std::ostream>(const std::string& path)> createFile;
  std::string folder;  // where the save dialogs start
};

class HistoryWindowModel {
 public:
  // The graphs have about this many points whatever the span or zoom: the store aggregates into
  // buckets of (shown seconds) / kGraphPoints, whole minutes when longer than a minute.
  static constexpr int64_t kGraphPoints = 720;
  // Spans offered when the window opens: the last hour for a history younger than a day, else
  // the last day (indices into kHistorySpans).
  static constexpr int kYoungSpan = 0;
  static constexpr int kOldSpan = 2;
  // A drag over less than this is a click, not a zoom.
  static constexpr int64_t kSmallestZoomSeconds = 60;
  // A termination is recorded in the cycle of its alert, within seconds of it; a minute leaves room
  // for a process slow to end.
  static constexpr int64_t kTerminationAfterAlertSeconds = 60;

  // `store` and `recorder` may be null (no history in this build or on this machine).
  HistoryWindowModel(IClock& clock, const Settings& settings, IHistoryStore* store,
                     IHistoryRecorder* recorder, HistoryExport exports = {});

  // ---- Event handlers ----
  // Log > History: shows the window up to now. Opened afresh, it shows the whole span; until the
  // user picks a span, that is the one that shows the data (kYoungSpan or kOldSpan).
  void Show();
  // A click on the tray's note of an event: shows the window with the latest event of `kind` at
  // `t` selected, under the filter of all events when the chosen one hides it.
  void ShowEvent(int64_t t, HistoryEventKind kind);
  void OnSpanClick(int index);
  // Once a minute while open: the span moves on to now; a zoom, the filter, the sort order and
  // the selected event stay.
  void OnTmrRefreshTick();
  // The pointer is over the graphs at time `t`.
  void OnHover(int64_t t);
  // A drag over the graphs from `a` to `b`: the graphs show that stretch.
  void OnZoom(int64_t a, int64_t b);
  // Back to what the graphs showed before the last zoom.
  void OnZoomBackClick();
  void OnEventFilterClick(int index);
  // A click on a column heading: sorts by that column, or turns the order round when it already
  // sorts by it.
  void OnEventHeaderClick(int column);
  // A row of the events list was selected (-1: none): the event is marked on the graphs, shown
  // under the pointer's text, and the zoomed graphs move to it when it lies outside them.
  void OnEventSelect(int row);
  // A double click on a row of the top processes' table.
  void OnTopDoubleClick(int row);
  // Writes the samples the graphs show as CSV, to a file the user picks.
  void OnExportCsvClick();
  // Saves the graphs as a PNG picture, to a file the user picks, through `pictureWriter`.
  void OnSavePictureClick();
  void OnClose();

  // ---- Controls ----
  std::string caption = std::string(kHistoryCaption);
  bool visible = false;
  int spanIndex = kYoungSpan;
  int64_t from = 0;  // the span, [from, to): the events list covers it
  int64_t to = 0;
  int64_t viewFrom = 0;  // what the graphs show, [viewFrom, viewTo): the span, or a zoom
  int64_t viewTo = 0;
  int64_t bucketSeconds = 1;
  std::vector<TimeTick> timeTicks;  // of what the graphs show
  std::vector<SeriesPoint> points;
  std::optional<int> cpuThreshold;  // the threshold lines; none when the setting is no number
  std::optional<int> memThreshold;
  std::vector<GraphMarker> cpuMarkers;  // the CPU watches' alerts (the machine's, the program's)
  std::vector<GraphMarker> memMarkers;  // the memory watches' alerts
  std::optional<int64_t> selectedTime;  // the selected event's time: a line across both graphs
  std::string lblNote;                  // history off, no samples, an export's outcome
  std::string lblHover;                 // time, values and top processes under the pointer
  Button cmdZoomBack{"Back"};
  Button cmdExportCsv{"Export CSV..."};
  Button cmdSavePicture{"Save graphs as PNG..."};
  Timer tmrRefresh{false, 60000};

  int eventFilterIndex = 0;
  EventColumn eventSortColumn = EventColumn::Time;
  bool eventSortDescending = true;  // newest first
  std::vector<EventRow> eventRows;  // filtered and sorted
  int selectedEventRow = -1;        // into eventRows

  std::vector<TopSummaryRow> topRows;  // of what the graphs show
  std::string lblSamples;              // "Samples of NAME"
  std::vector<TopEntry> processSamples;

  // Set by the view: writes the graphs as PNG data to the stream; false when it could not. The
  // model opens the file owner-only, as it does the CSV's.
  std::function<bool(std::ostream& out)> pictureEncoder;
  // The older way of a view without pictureEncoder: writes the graphs as a PNG file itself;
  // false when it could not.
  std::function<bool(const std::string& path)> pictureWriter;

  // Index of the point nearest to `t` (-1 when there are none).
  int NearestPoint(int64_t t) const;
  bool Zoomed() const { return !zooms_.empty(); }

 private:
  struct Window {
    int64_t from;
    int64_t to;
  };
  // The store is there and recording works; flushes what the recorder holds first.
  bool StoreOn();
  // Reads the span, the graphs and the lists anew; a zoom stays.
  void Refresh();
  // Reads what the graphs show: the span, or the last zoom.
  void LoadView();
  void BuildMarkers();
  void BuildEventRows();
  HistoryWatch WatchOf(const HistoryEvent& e) const;
  std::string HoverText(int64_t t) const;
  std::string DefaultFileName(std::string_view extension) const;
  std::optional<std::string> PickSaveFile(std::string_view title, std::string_view description,
                                          std::string_view extension);
  void Tell(const std::string& message);
  // The export's file, owner-only; null (and the user told why) when it cannot be made.
  std::unique_ptr<std::ostream> CreateExportFile(const std::string& path);
  // Flushes the export; false (and the user told why) when what was written did not all land.
  bool FinishExportFile(std::ostream& file, const std::string& path);

  IClock& clock_;
  const Settings& settings_;
  IHistoryStore* store_;
  IHistoryRecorder* recorder_;
  HistoryExport exports_;
  bool on_ = false;
  bool spanChosen_ = false;  // the user picked a span this run
  std::vector<Window> zooms_;
  std::vector<HistoryEvent> events_;  // of the span, oldest first
  int64_t selectedEventId_ = 0;
  std::string samplesOf_;  // the process whose samples are listed
};

}  // namespace tarnwick
