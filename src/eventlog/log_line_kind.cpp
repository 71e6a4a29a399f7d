#include "eventlog/log_line_kind.h"

#include "engine/alert_dispatcher.h"
#include "engine/service_client.h"
#include "delivery/smtp_mailer.h"
#include "common/text.h"
#include "history/history_recorder.h"
#include "engine/activity_log.h"
#include "engine/program_monitor.h"
#include "settings/settings_file.h"

namespace tarnwick {
namespace {

// "yyyy-mm-dd hh:mm:ss - ", the log's time stamp and separator.
constexpr size_t kStampLength = 22;

// A watch's alert: "<host> CPU 97% exceed 85% for 50 sec.(10 times)..." (the exceed line of a
// single sample says "for 3 times" instead); the program monitor's memory alert has
// "6000M(60%) exceed 50% for 10 sec.(2 times)".
constexpr std::string_view kExceedPart = " exceed ";
constexpr std::string_view kAlertSpanPart = " sec.(";
// The alert of a watch that is not logged in wraps the alert in this text (the CPU watch writes
// "Login", the memory watch "login").
constexpr std::string_view kNotLoggedInStart = "not login alert message [";
// How the alert reports the termination of the top process.
constexpr std::string_view kKilledPart = " killed(True)";
constexpr std::string_view kKillFailedPart = " killed(False)";
// The program monitor cannot send an alert or notice for want of credits.
constexpr std::string_view kProgramNoCreditsStart = "No enough credits to send ";

// A line of the kind when its message starts with `start` and holds `part` (an empty one
// always matches). The first matching rule counts.
struct Rule {
  EventLogKind kind;
  std::string_view start;
  std::string_view part;
};

constexpr Rule kRules[] = {
    {EventLogKind::Failure, kProgramKillFailedStart, {}},
    {EventLogKind::Kill, kProgramKilledStart, {}},
    {EventLogKind::Failure, kLogWriteFailedStart, kLogWriteFailedEnd},
    {EventLogKind::Failure, kUnreadableLogStart, kUnreadableLogEnd},
    {EventLogKind::Failure, kTruncatedLogStart, kTruncatedLogEnd},
    {EventLogKind::Failure, kHistoryOffStart, {}},
    {EventLogKind::Failure, kMailFailedPrefix, kMailFailed},
    {EventLogKind::Failure, kMailFailedPrefix, kMailerNotStarted},
    {EventLogKind::Failure, kNoCredits, {}},
    {EventLogKind::Failure, kProgramNoCreditsStart, {}},
    // The headless program prints the login's message box as "Tarnwick: " + its text.
    {EventLogKind::Failure, {}, kConnectionErrorMessage},
};

std::string_view Message(std::string_view line) {
  const bool stamped = line.size() >= kStampLength && line[4] == '-' && line[7] == '-' &&
                       line[10] == ' ' && line[13] == ':' && line[16] == ':' &&
                       line.substr(19, 3) == " - ";
  return stamped ? line.substr(kStampLength) : line;
}

}  // namespace

std::optional<EventLogKind> LogLineKinds::Of(std::string_view line) {
  const std::string_view message = Message(line);
  for (const Rule& rule : kRules) {
    if (StartsWith(message, rule.start) && Contains(message, rule.part)) return rule.kind;
  }
  if (StartsWith(message, kSmsSentStart) && EndsWith(message, "]")) {
    const std::string_view sent =
        message.substr(kSmsSentStart.size(), message.size() - kSmsSentStart.size() - 1);
    if (!Contains(sent, kExceedPart) || !Contains(sent, kAlertSpanPart)) return std::nullopt;
    // The SMS is the alert cut to its length limit, or with the day's count added.
    const bool repeat = !lastAlert_.empty() && !sent.empty() &&
                        (StartsWith(lastAlert_, sent) || StartsWith(sent, lastAlert_));
    if (repeat) return std::nullopt;
    return EventLogKind::Alert;
  }
  std::string_view alert = message;
  if (StartsWith(ToLower(message.substr(0, kNotLoggedInStart.size())), kNotLoggedInStart)) {
    alert = message.substr(kNotLoggedInStart.size());
  }
  if (!Contains(alert, kExceedPart) || !Contains(alert, kAlertSpanPart)) return std::nullopt;
  lastAlert_ = std::string(alert);
  if (Contains(alert, kKillFailedPart)) return EventLogKind::Failure;
  if (Contains(alert, kKilledPart)) return EventLogKind::Kill;
  return EventLogKind::Alert;
}

void EventLogFeed::Write(const std::string& line) {
  if (const std::optional<EventLogKind> kind = kinds_.Of(line)) eventLog_.Report(*kind, line);
}

}  // namespace tarnwick
