// The history for scripts and terminals: the span's summary table with its events, and the
// samples as CSV (RFC 4180). Both the desktop program and the headless one call these.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/history_store.h"

namespace tarnwick {

inline constexpr std::string_view kHistoryOption = "--history";
inline constexpr std::string_view kExportHistoryOption = "--export-history";
inline constexpr std::string_view kSinceOption = "--since";
// The folder of the usage history (and the daily logs), as tarnwickd's option of that name.
inline constexpr std::string_view kHistoryLogDirOption = "--log-dir";
inline constexpr std::string_view kHistoryUsage =
    "usage: --history [--since DURATION] [--log-dir DIR]"
    " | --export-history FILE.csv [--since DURATION] [--log-dir DIR]"
    " (DURATION: 90s, 30m, 6h, 1d, 2w)";
inline constexpr int64_t kDefaultHistorySpan = 86400;
inline constexpr int kSummaryRows = 20;

// First characters that make a spreadsheet read a cell as a formula (or, tab and CR, that some
// spreadsheets skip before looking for one), and what goes before them so that the cell is
// shown as the text it is: a process may be named "=HYPERLINK(...)" or "@SUM(...)".
inline constexpr std::string_view kCsvFormulaStarts = "=+-@\t\r";
inline constexpr std::string_view kCsvFormulaGuard = "'";

// One CSV field of text: after kCsvFormulaGuard when it starts with one of kCsvFormulaStarts;
// quoted when it holds a comma, a quote, CR or LF, with quotes doubled.
std::string CsvField(std::string_view text);
// The header and one line per row, each ended by CR LF.
std::string CsvHeader();
std::string CsvLine(const ExportRow& row);

// The summary of [from, to): the top processes and the events.
void WriteHistorySummary(IHistoryStore& store, int64_t from, int64_t to, std::ostream& out);
// The samples of [from, to) as CSV; false when the rows could not all be read.
bool WriteHistoryCsv(IHistoryStore& store, int64_t from, int64_t to, std::ostream& out);

// The history options of a command line (without the program's name).
struct HistoryCommand {
  enum class Mode { None, Summary, Export, Invalid };
  Mode mode = Mode::None;
  int64_t since = kDefaultHistorySpan;  // seconds back from now
  std::string file;                     // the CSV file of an export
  std::string error;                    // why the options are invalid
};
HistoryCommand ParseHistoryCommand(const std::vector<std::string>& args);

// Carries out a Summary or Export command over the span ending at `now` and returns the exit
// status (0 done, 1 failed, 2 invalid options). `createFile` opens the export's file for
// writing (null when it cannot).
int RunHistoryCommand(
    const HistoryCommand& command, IHistoryStore& store, int64_t now, std::ostream& out,
    std::ostream& err,
    const std::function<std::unique_ptr<std::ostream>(const std::string&)>& createFile);

}  // namespace tarnwick
