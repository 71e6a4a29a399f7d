#include "history/history_window_model.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <system_error>
#include <tuple>
#include <utility>

#include "common/numbers.h"
#include "common/text.h"
#include "domain/history_time.h"
#include "history/history_report.h"

namespace tarnwick {
namespace {

constexpr std::string_view kTopCpuPart = "Top CPU: ";
constexpr std::string_view kTopMemoryPart = "Top memory: ";
constexpr std::string_view kNoTopPart = "no process recorded near this time";
constexpr std::string_view kMessageTitle = "Tarnwick";
constexpr std::string_view kCsvTitle = "Export the shown samples as CSV";
constexpr std::string_view kCsvFiles = "CSV files";
constexpr std::string_view kPictureTitle = "Save the graphs as a picture";
constexpr std::string_view kPictureFiles = "PNG pictures";
constexpr std::string_view kFileNameStart = "Tarnwick_history_";
constexpr std::string_view kSent = "sent";
constexpr std::string_view kLogOnly = "log only";
constexpr std::string_view kTerminated = "terminated";
constexpr std::string_view kNotTerminated = "not terminated";
// The hover looks this far around the pointer for a recorded top list (the once-a-minute list
// is at most a minute away while monitoring runs).
constexpr int64_t kHoverReachSeconds = 90;
constexpr int kTopRows = 20;

std::optional<int> Threshold(const std::string& text) {
  const auto value = TextToInt16(text);
  if (!value) return std::nullopt;
  return static_cast<int>(*value);
}

bool IsAlert(HistoryEventKind kind) {
  return kind == HistoryEventKind::AlertRaised || kind == HistoryEventKind::ProgramAlert;
}

bool OnCpuGraph(HistoryWatch watch) {
  return watch == HistoryWatch::Cpu || watch == HistoryWatch::ProgramCpu;
}

bool OnMemoryGraph(HistoryWatch watch) {
  return watch == HistoryWatch::Memory || watch == HistoryWatch::ProgramMemory;
}

// Whether the filter at `index` of kEventFilters lets the event through.
bool Passes(int index, HistoryEventKind kind) {
  using K = HistoryEventKind;
  switch (index) {
    case 1:
      return kind == K::AlertRaised;
    case 2:
      return kind == K::ProgramAlert;
    case 3:
      return kind == K::BackToNormal;
    case 4:
      return kind == K::ProcessTerminated;
    case 5:
      return kind == K::MonitoringStarted || kind == K::MonitoringStopped;
    default:
      return true;
  }
}

std::string WithPid(std::string_view outcome, int pid) {
  std::string text(outcome);
  if (pid > 0) text += " (pid " + std::to_string(pid) + ")";
  return text;
}

std::string KillCell(const HistoryEvent& e) {
  if (e.kind == HistoryEventKind::ProcessTerminated) {
    return WithPid(e.ok ? kTerminated : kNotTerminated, e.pid);
  }
  switch (e.kill) {
    case KillOutcome::Terminated:
      return WithPid(kTerminated, e.pid);
    case KillOutcome::Failed:
      return WithPid(kNotTerminated, e.pid);
    case KillOutcome::None:
      break;
  }
  return {};
}

std::string SentCell(SendState sent) {
  switch (sent) {
    case SendState::Sent:
      return std::string(kSent);
    case SendState::LogOnly:
      return std::string(kLogOnly);
    case SendState::Unknown:
      break;
  }
  return {};
}

std::string ValueCell(double value) {
  if (value < 0) return {};
  return ShortestForm(RoundHalfEvenTo(value, 1)) + "%";
}

// `watch` is the event's watch; for a termination, the watch of the alert it came with.
EventRow MakeRow(const HistoryEvent& e, HistoryWatch watch) {
  EventRow row;
  row.id = e.id;
  row.t = e.t;
  const bool termination = e.kind == HistoryEventKind::ProcessTerminated;
  auto cell = [&row](EventColumn column) -> std::string& {
    return row.cells[static_cast<size_t>(column)];
  };
  cell(EventColumn::Time) = HistoryTimeText(e.t);
  cell(EventColumn::Kind) = std::string(EventKindName(e.kind));
  cell(EventColumn::Watch) = std::string(WatchName(watch));
  cell(EventColumn::Value) = ValueCell(e.value);
  cell(EventColumn::Top) = termination ? e.text : e.top;
  cell(EventColumn::Kill) = KillCell(e);
  cell(EventColumn::Sent) = SentCell(e.sent);
  cell(EventColumn::Message) = termination ? e.text + " (pid " + std::to_string(e.pid) + ") " +
                                                 (e.ok ? "terminated" : "could not be terminated")
                                           : e.text;
  row.alert = IsAlert(e.kind);
  row.logOnly = e.sent == SendState::LogOnly;
  // "2026-12-04 03:02:30  alert, CPU 96%, top pg_dump, terminated (pid 41877), sent" and the
  // message on a line of its own.
  row.tip = cell(EventColumn::Time) + "  " + cell(EventColumn::Kind);
  const std::string& watchName = cell(EventColumn::Watch);
  const std::string& value = cell(EventColumn::Value);
  if (!watchName.empty()) row.tip += ", " + watchName + (value.empty() ? "" : " " + value);
  if (!e.top.empty() && !termination) row.tip += ", top " + e.top;
  for (const EventColumn column : {EventColumn::Kill, EventColumn::Sent}) {
    if (!cell(column).empty()) row.tip += ", " + cell(column);
  }
  row.tip += "\n" + cell(EventColumn::Message);
  return row;
}

// The sort key of a column: numbers where the column holds numbers, else the shown text.
// Texts sort as a reader sorts them, whatever their case ("backup" before "Xorg"); the case
// decides only between texts otherwise equal.
std::tuple<double, std::string, std::string> SortKey(const HistoryEvent& e, const EventRow& row,
                                                     EventColumn column) {
  switch (column) {
    case EventColumn::Time:
      return {static_cast<double>(e.t), {}, {}};
    case EventColumn::Value:
      return {e.value, {}, {}};
    default: {
      const std::string& text = row.cells[static_cast<size_t>(column)];
      return {0, ToLower(text), text};
    }
  }
}

std::string CompactTime(int64_t t) {
  const LocalTime at = FromHistorySeconds(t);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d%02d%02d-%02d%02d", at.year % 10000, at.month, at.day,
                at.hour, at.minute);
  return buffer;
}

}  // namespace

HistoryWindowModel::HistoryWindowModel(IClock& clock, const Settings& settings,
                                       IHistoryStore* store, IHistoryRecorder* recorder,
                                       HistoryExport exports)
    : clock_(clock),
      settings_(settings),
      store_(store),
      recorder_(recorder),
      exports_(std::move(exports)) {}

void HistoryWindowModel::Show() {
  const bool opening = !visible;
  visible = true;
  tmrRefresh.enabled = true;
  if (opening) {
    zooms_.clear();
    if (!spanChosen_ && StoreOn()) {
      const auto first = store_->FirstSampleTime();
      const int64_t now = ToHistorySeconds(clock_.Now());
      spanIndex = first && now - *first >= 86400 ? kOldSpan : kYoungSpan;
    }
  }
  Refresh();
}

void HistoryWindowModel::ShowEvent(int64_t t, HistoryEventKind kind) {
  Show();
  int64_t id = 0;
  for (const HistoryEvent& e : events_) {
    if (e.t == t && e.kind == kind) id = e.id;
  }
  if (id == 0) return;
  if (!Passes(eventFilterIndex, kind)) {
    eventFilterIndex = 0;
    BuildEventRows();
  }
  for (size_t row = 0; row < eventRows.size(); ++row) {
    if (eventRows[row].id == id) OnEventSelect(static_cast<int>(row));
  }
}

void HistoryWindowModel::OnSpanClick(int index) {
  if (index < 0 || index >= static_cast<int>(kHistorySpans.size())) return;
  spanIndex = index;
  spanChosen_ = true;
  zooms_.clear();
  Refresh();
}

void HistoryWindowModel::OnTmrRefreshTick() {
  if (visible) Refresh();
}

void HistoryWindowModel::OnClose() {
  visible = false;
  tmrRefresh.enabled = false;
  zooms_.clear();
  points.clear();
  cpuMarkers.clear();
  memMarkers.clear();
  events_.clear();
  eventRows.clear();
  selectedEventRow = -1;
  selectedEventId_ = 0;
  selectedTime.reset();
  topRows.clear();
  processSamples.clear();
  samplesOf_.clear();
  lblHover.clear();
  lblSamples.clear();
}

bool HistoryWindowModel::StoreOn() {
  // What the recorder holds in memory belongs in the picture too; writing it opens the store
  // (and logs what the opening found). Without a recorder the window opens the store itself.
  if (recorder_ != nullptr) {
    recorder_->Flush();
  } else if (store_ != nullptr && !store_->Open().ok) {
    store_ = nullptr;
  }
  return store_ != nullptr && (recorder_ == nullptr || recorder_->On());
}

void HistoryWindowModel::Refresh() {
  on_ = StoreOn();
  const int64_t span = kHistorySpans[static_cast<size_t>(spanIndex)].seconds;
  to = ToHistorySeconds(clock_.Now()) + 1;
  from = to - span;
  cpuThreshold = Threshold(settings_.cpu_High);
  memThreshold = Threshold(settings_.mem_High);
  cmdExportCsv.enabled = on_ && exports_.ui != nullptr && exports_.createFile != nullptr;
  cmdSavePicture.enabled =
      exports_.ui != nullptr && ((pictureEncoder && exports_.createFile) || pictureWriter);
  if (!on_) {
    events_.clear();
    lblNote = std::string(kHistoryOffNote);
  } else {
    events_ = store_->Events(from, to);
  }
  // The selection stays while its event is in the span.
  if (std::none_of(events_.begin(), events_.end(),
                   [this](const HistoryEvent& e) { return e.id == selectedEventId_; })) {
    selectedEventId_ = 0;
    selectedTime.reset();
  }
  BuildEventRows();
  LoadView();
}

void HistoryWindowModel::LoadView() {
  const Window view = zooms_.empty() ? Window{from, to} : zooms_.back();
  viewFrom = view.from;
  viewTo = view.to;
  const int64_t seconds = std::max<int64_t>(1, viewTo - viewFrom);
  bucketSeconds = std::max<int64_t>(1, (seconds + kGraphPoints - 1) / kGraphPoints);
  // Buckets of whole minutes come from the store's minutes, one row a minute.
  if (bucketSeconds > 60) bucketSeconds = (bucketSeconds + 59) / 60 * 60;
  cmdZoomBack.enabled = !zooms_.empty();
  timeTicks = TimeAxisTicks(viewFrom, viewTo);
  if (!on_) {
    points.clear();
    topRows.clear();
    processSamples.clear();
    BuildMarkers();
    return;
  }
  points = store_->Series(viewFrom, viewTo, bucketSeconds);
  topRows = store_->TopSummary(viewFrom, viewTo, kTopRows);
  if (!samplesOf_.empty()) processSamples = store_->ProcessEntries(samplesOf_, viewFrom, viewTo);
  lblNote = points.empty() ? std::string(kNoSamplesNote) : std::string();
  BuildMarkers();
}

void HistoryWindowModel::BuildMarkers() {
  cpuMarkers.clear();
  memMarkers.clear();
  for (const HistoryEvent& e : events_) {
    if (!IsAlert(e.kind) || e.t < viewFrom || e.t >= viewTo) continue;
    const bool cpu = OnCpuGraph(e.watch);
    if (!cpu && !OnMemoryGraph(e.watch)) continue;
    GraphMarker marker;
    marker.t = e.t;
    marker.value = static_cast<int>(std::max(0.0, e.value));
    if (const int i = NearestPoint(e.t); i >= 0) {
      const SeriesPoint& p = points[static_cast<size_t>(i)];
      marker.value = cpu ? p.cpu : p.mem;
    }
    marker.style = e.sent == SendState::LogOnly ? MarkerStyle::LogOnly : MarkerStyle::Alert;
    marker.tip = MakeRow(e, e.watch).tip;
    marker.eventId = e.id;
    marker.selected = e.id == selectedEventId_;
    (cpu ? cpuMarkers : memMarkers).push_back(std::move(marker));
  }
}

// A termination is stored without its watch: it is the watch of the alert that tried it, the
// latest one on that pid at most a cycle's worth of time before.
HistoryWatch HistoryWindowModel::WatchOf(const HistoryEvent& e) const {
  if (e.kind != HistoryEventKind::ProcessTerminated) return e.watch;
  HistoryWatch watch = HistoryWatch::None;
  for (const HistoryEvent& alert : events_) {
    if (alert.t > e.t) break;
    if (IsAlert(alert.kind) && alert.kill != KillOutcome::None && alert.pid == e.pid &&
        e.t - alert.t <= kTerminationAfterAlertSeconds) {
      watch = alert.watch;
    }
  }
  return watch;
}

void HistoryWindowModel::BuildEventRows() {
  struct Entry {
    const HistoryEvent* event;
    EventRow row;
  };
  std::vector<Entry> entries;
  for (const HistoryEvent& e : events_) {
    if (Passes(eventFilterIndex, e.kind)) entries.push_back({&e, MakeRow(e, WatchOf(e))});
  }
  // Equal keys keep the order the events happened in, whichever way the list runs.
  std::stable_sort(entries.begin(), entries.end(), [this](const Entry& a, const Entry& b) {
    const auto ka = SortKey(*a.event, a.row, eventSortColumn);
    const auto kb = SortKey(*b.event, b.row, eventSortColumn);
    if (ka == kb)
      return eventSortDescending ? a.event->id > b.event->id : a.event->id < b.event->id;
    return eventSortDescending ? kb < ka : ka < kb;
  });
  eventRows.clear();
  selectedEventRow = -1;
  for (Entry& entry : entries) {
    if (entry.event->id == selectedEventId_ && selectedEventId_ != 0) {
      selectedEventRow = static_cast<int>(eventRows.size());
    }
    eventRows.push_back(std::move(entry.row));
  }
}

void HistoryWindowModel::OnEventFilterClick(int index) {
  if (index < 0 || index >= static_cast<int>(kEventFilters.size())) return;
  eventFilterIndex = index;
  BuildEventRows();
}

void HistoryWindowModel::OnEventHeaderClick(int column) {
  if (column < 0 || column >= static_cast<int>(kEventColumns.size())) return;
  const auto chosen = static_cast<EventColumn>(column);
  if (chosen == eventSortColumn) {
    eventSortDescending = !eventSortDescending;
  } else {
    eventSortColumn = chosen;
    // Times and values start with the latest and the highest, texts from A.
    eventSortDescending = chosen == EventColumn::Time || chosen == EventColumn::Value;
  }
  BuildEventRows();
}

void HistoryWindowModel::OnEventSelect(int row) {
  if (row < 0 || row >= static_cast<int>(eventRows.size())) {
    selectedEventRow = -1;
    selectedEventId_ = 0;
    selectedTime.reset();
    BuildMarkers();
    return;
  }
  const EventRow& chosen = eventRows[static_cast<size_t>(row)];
  selectedEventRow = row;
  selectedEventId_ = chosen.id;
  selectedTime = chosen.t;
  // Zoomed graphs that do not show the event move to it, centred, at the same zoom.
  if (!zooms_.empty() && (chosen.t < viewFrom || chosen.t >= viewTo)) {
    Window& zoom = zooms_.back();
    const int64_t width = zoom.to - zoom.from;
    zoom.from = chosen.t - width / 2;
    zoom.to = zoom.from + width;
    LoadView();
  } else {
    BuildMarkers();
  }
  lblHover = HoverText(chosen.t);
}

void HistoryWindowModel::OnZoom(int64_t a, int64_t b) {
  if (b < a) std::swap(a, b);
  if (b - a < kSmallestZoomSeconds || !visible) return;
  zooms_.push_back({a, b});
  LoadView();
}

void HistoryWindowModel::OnZoomBackClick() {
  if (zooms_.empty()) return;
  zooms_.pop_back();
  LoadView();
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
  lblHover = HoverText(t);
}

std::string HistoryWindowModel::HoverText(int64_t t) const {
  const int i = NearestPoint(t);
  if (i < 0) return {};
  const SeriesPoint& p = points[static_cast<size_t>(i)];
  std::string text = HistoryTimeText(p.t) + "  CPU " + std::to_string(p.cpu) + "%  Memory " +
                     std::to_string(p.mem) + "%";
  if (store_ == nullptr) return text;
  // Near the middle of the bucket, and at least a minute's list around it.
  const int64_t centre = p.t + bucketSeconds / 2;
  const std::vector<TopEntry> entries =
      store_->TopNear(centre, std::max(kHoverReachSeconds, bucketSeconds));
  if (entries.empty()) return text + "\n" + std::string(kNoTopPart);
  std::string cpu, mem;
  for (const TopEntry& e : entries) {
    std::string& list = e.kind == TopKind::Cpu ? cpu : mem;
    if (!list.empty()) list += ", ";
    list += e.name + " " + OneDecimal(e.share) + "%";
  }
  text += '\n';
  text += HistoryTimeText(entries.front().t);
  if (!cpu.empty()) text += "  " + std::string(kTopCpuPart) + cpu;
  if (!mem.empty()) text += "  " + std::string(kTopMemoryPart) + mem;
  return text;
}

void HistoryWindowModel::OnTopDoubleClick(int row) {
  if (row < 0 || row >= static_cast<int>(topRows.size()) || store_ == nullptr) return;
  samplesOf_ = topRows[static_cast<size_t>(row)].name;
  lblSamples = std::string(kSamplesOfStart) + samplesOf_;
  processSamples = store_->ProcessEntries(samplesOf_, viewFrom, viewTo);
}

std::string HistoryWindowModel::DefaultFileName(std::string_view extension) const {
  return std::string(kFileNameStart) + CompactTime(viewFrom) + "_" + CompactTime(viewTo) +
         std::string(extension);
}

std::optional<std::string> HistoryWindowModel::PickSaveFile(std::string_view title,
                                                            std::string_view description,
                                                            std::string_view extension) {
  FilePickRequest request;
  request.title = std::string(title);
  request.initialFolder = exports_.folder;
  request.initialName = DefaultFileName(extension);
  request.filterDescription = std::string(description);
  // Built from a char rather than "*" + extension: GCC 12 at -O3 reports a false -Wrestrict on
  // the literal's concatenation.
  std::string pattern(1, '*');
  pattern.append(extension);
  request.filterPattern = std::move(pattern);
  return exports_.ui->PickSaveFile(request);
}

void HistoryWindowModel::Tell(const std::string& message) {
  exports_.ui->MessageBox(message, MessageButtons::Ok, std::string(kMessageTitle));
}

// The system's reason for the failure that errno holds, as ": reason"; empty when it holds none.
static std::string SystemReason(int error) {
  return error == 0 ? std::string() : ": " + std::generic_category().message(error);
}

std::unique_ptr<std::ostream> HistoryWindowModel::CreateExportFile(const std::string& path) {
  errno = 0;
  std::unique_ptr<std::ostream> file = exports_.createFile(path);
  if (!file || !*file) {
    Tell(std::string(kCannotWriteStart) + path + SystemReason(errno));
    return nullptr;
  }
  return file;
}

bool HistoryWindowModel::FinishExportFile(std::ostream& file, const std::string& path) {
  errno = 0;
  file.flush();
  if (file) return true;
  Tell(std::string(kCannotWriteStart) + path + SystemReason(errno));
  return false;
}

void HistoryWindowModel::OnExportCsvClick() {
  if (!cmdExportCsv.enabled || !StoreOn()) return;
  const auto path = PickSaveFile(kCsvTitle, kCsvFiles, ".csv");
  if (!path) return;
  const std::unique_ptr<std::ostream> file = CreateExportFile(*path);
  if (!file) return;
  if (!WriteHistoryCsv(*store_, viewFrom, viewTo, *file)) {
    Tell(std::string(kExportIncompleteStart) + *path);
    return;
  }
  if (!FinishExportFile(*file, *path)) return;
  lblNote = std::string(kExportedStart) + *path;
}

void HistoryWindowModel::OnSavePictureClick() {
  if (exports_.ui == nullptr || (!pictureEncoder && !pictureWriter)) return;
  const auto path = PickSaveFile(kPictureTitle, kPictureFiles, ".png");
  if (!path) return;
  if (pictureEncoder) {
    if (!exports_.createFile) return;
    const std::unique_ptr<std::ostream> file = CreateExportFile(*path);
    if (!file) return;
    if (!pictureEncoder(*file)) {
      Tell(std::string(kCannotWriteStart) + *path);
      return;
    }
    if (!FinishExportFile(*file, *path)) return;
  } else if (!pictureWriter(*path)) {
    Tell(std::string(kCannotWriteStart) + *path);
    return;
  }
  lblNote = std::string(kExportedStart) + *path;
}

}  // namespace tarnwick
