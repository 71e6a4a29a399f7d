#include "history/history_report.h"

#include <algorithm>
#include <iomanip>
#include <sstream>

#include "common/display_width.h"
#include "common/numbers.h"
#include "common/text.h"
#include "domain/history_time.h"

namespace tarnwick {
namespace {

constexpr std::string_view kNoTopProcesses = "No process was recorded on top in this span.";
constexpr std::string_view kNoEvents = "No events in this span.";
constexpr std::string_view kCannotCreate = "Cannot write the file ";
constexpr std::string_view kReadFailed = "The history could not be read to the end.";
constexpr std::string_view kExported = "Samples written to ";
// Terminal columns of the summary's process names: short names keep the table's usual look, a
// long one is cut so that the table still fits a wide terminal.
constexpr size_t kNameColumnsLeast = 22;
constexpr size_t kNameColumnsMost = 40;
constexpr std::string_view kColumnGap = "  ";

std::string_view KindName(TopKind kind) {
  return kind == TopKind::Cpu ? "CPU" : "Memory";
}

std::string EventText(const HistoryEvent& e) {
  if (e.kind != HistoryEventKind::ProcessTerminated) return e.text;
  return e.text + " (pid " + std::to_string(e.pid) + ") " +
         (e.ok ? "terminated" : "could not be terminated");
}

}  // namespace

std::string CsvField(std::string_view text) {
  std::string field;
  if (!text.empty() && kCsvFormulaStarts.find(text.front()) != std::string_view::npos) {
    field = kCsvFormulaGuard;
  }
  field += text;
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string quoted = "\"";
  for (const char c : field) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string CsvHeader() {
  return "time,cpu_percent,memory_percent,memory_used_mb,top_cpu_process,top_cpu_share,"
         "top_memory_process,top_memory_share\r\n";
}

std::string CsvLine(const ExportRow& row) {
  const HistorySample& s = row.sample;
  // Field by field: GCC 12 at -O3 reports a false overlap (-Wrestrict) for a one-character
  // literal joined to a string.
  std::string line = HistoryTimeText(s.t);
  for (const std::string& field :
       {std::to_string(s.cpu), std::to_string(s.mem), std::to_string(s.memUsedMB),
        CsvField(row.topCpuName),
        row.topCpuName.empty() ? std::string() : OneDecimal(row.topCpuShare),
        CsvField(row.topMemName),
        row.topMemName.empty() ? std::string() : OneDecimal(row.topMemShare)}) {
    line += ',';
    line += field;
  }
  line += "\r\n";
  return line;
}

void WriteHistorySummary(IHistoryStore& store, int64_t from, int64_t to, std::ostream& out) {
  out << "Usage history from " << HistoryTimeText(from) << " to " << HistoryTimeText(to) << "\n\n";
  const std::vector<TopSummaryRow> rows = store.TopSummary(from, to, kSummaryRows);
  if (rows.empty()) {
    out << kNoTopProcesses << "\n";
  } else {
    // The name column is as wide as the widest name, between its least and its most; a wider
    // name is cut. A gap always follows it, so no name runs into its kind.
    size_t nameColumns = kNameColumnsLeast;
    for (const TopSummaryRow& r : rows) {
      nameColumns = std::max(nameColumns, DisplayWidth(PrintableText(r.name)));
    }
    nameColumns = std::min(nameColumns, kNameColumnsMost);
    out << PadToWidth("Process", nameColumns) << kColumnGap << std::left << std::setw(8) << "Kind"
        << std::right << std::setw(8) << "On top" << std::setw(8) << "Peak %"
        << "  When\n";
    for (const TopSummaryRow& r : rows) {
      out << PadToWidth(FitToWidth(PrintableText(r.name), nameColumns), nameColumns) << kColumnGap
          << std::left << std::setw(8) << KindName(r.kind) << std::right << std::setw(8)
          << r.timesOnTop << std::setw(8) << OneDecimal(r.peakShare) << "  "
          << HistoryTimeText(r.peakTime) << "\n";
    }
  }
  out << "\n";
  const std::vector<HistoryEvent> events = store.Events(from, to);
  if (events.empty()) {
    out << kNoEvents << "\n";
    return;
  }
  out << "Events\n";
  for (const HistoryEvent& e : events) {
    out << HistoryTimeText(e.t) << "  " << EventKindName(e.kind) << "  "
        << PrintableText(EventText(e)) << "\n";
  }
}

bool WriteHistoryCsv(IHistoryStore& store, int64_t from, int64_t to, std::ostream& out) {
  out << CsvHeader();
  const bool complete =
      store.ExportRows(from, to, [&out](const ExportRow& row) { out << CsvLine(row); });
  out.flush();
  return complete && static_cast<bool>(out);
}

HistoryCommand ParseHistoryCommand(const std::vector<std::string>& args) {
  HistoryCommand command;
  auto invalid = [&command](std::string why) {
    command.mode = HistoryCommand::Mode::Invalid;
    command.error = std::move(why) + "\n" + std::string(kHistoryUsage);
    return command;
  };
  bool sinceGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == kHistoryOption) {
      if (command.mode == HistoryCommand::Mode::Export) return invalid("two history commands");
      command.mode = HistoryCommand::Mode::Summary;
    } else if (arg == kExportHistoryOption) {
      if (command.mode == HistoryCommand::Mode::Summary) return invalid("two history commands");
      if (i + 1 >= args.size() || args[i + 1].empty()) return invalid("no CSV file named");
      command.mode = HistoryCommand::Mode::Export;
      command.file = args[++i];
    } else if (arg == kSinceOption) {
      if (i + 1 >= args.size()) return invalid("no duration after --since");
      const auto span = ParseDuration(args[++i]);
      if (!span) return invalid("not a duration: " + PrintableText(args[i]));
      command.since = *span;
      sinceGiven = true;
    }
  }
  if (sinceGiven && command.mode == HistoryCommand::Mode::None) {
    return invalid("--since goes with --history or --export-history");
  }
  return command;
}

int RunHistoryCommand(
    const HistoryCommand& command, IHistoryStore& store, int64_t now, std::ostream& out,
    std::ostream& err,
    const std::function<std::unique_ptr<std::ostream>(const std::string&)>& createFile) {
  if (command.mode == HistoryCommand::Mode::Invalid) {
    err << command.error << "\n";
    return 2;
  }
  if (command.mode == HistoryCommand::Mode::None) return 0;
  const StoreResult opened = store.Open();
  if (!opened.ok) {
    err << opened.error << "\n";
    return 1;
  }
  const int64_t from = now - command.since;
  const int64_t to = now + 1;
  if (command.mode == HistoryCommand::Mode::Summary) {
    WriteHistorySummary(store, from, to, out);
    return 0;
  }
  std::unique_ptr<std::ostream> file = createFile ? createFile(command.file) : nullptr;
  if (!file || !*file) {
    err << kCannotCreate << PrintableText(command.file) << "\n";
    return 1;
  }
  if (!WriteHistoryCsv(store, from, to, *file)) {
    err << kReadFailed << "\n";
    return 1;
  }
  out << kExported << PrintableText(command.file) << "\n";
  return 0;
}

}  // namespace tarnwick
