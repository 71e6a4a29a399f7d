#include "domain/event_text.h"

#include <string_view>

#include "common/numbers.h"
#include "common/text.h"

namespace tarnwick {
namespace {

// The pieces of the monitor's and the program monitor's messages that carry the facts.
constexpr std::string_view kCpuPart = " CPU ";
constexpr std::string_view kMemoryPart = " MEMORY ";
constexpr std::string_view kExceedPart = "% exceed ";
constexpr std::string_view kProgramMemoryPart = " MEMORY usage ";
constexpr std::string_view kProgramSeparator = " - ";
constexpr std::string_view kTopPart = "TOP1 : ";
constexpr std::string_view kKilledTrue = " killed(True)";
constexpr std::string_view kKilledFalse = " killed(False)";
constexpr std::string_view kProgramKilled = " has been killed (success)";
constexpr std::string_view kProgramNotKilled = " has been killed (fail)";
constexpr std::string_view kNotLoggedIn = "not login alert message [";

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The position right after `part` where a whole number follows it and then `tail`
// (" CPU 97% exceed "); npos when there is none.
size_t NumberAfter(std::string_view text, std::string_view part, std::string_view tail) {
  for (size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) {
    size_t end = at + part.size();
    const size_t start = end;
    while (end < text.size() && IsDigit(text[end])) ++end;
    if (end > start && text.substr(end).starts_with(tail)) return start;
  }
  return std::string_view::npos;
}

// The name the tally marks as chosen: "*name(" after "TOP1 : ".
std::string TallyTop(std::string_view text) {
  const size_t top = text.find(kTopPart);
  if (top == std::string_view::npos) return {};
  const size_t star = text.find('*', top);
  if (star == std::string_view::npos) return {};
  const size_t open = text.find('(', star);
  if (open == std::string_view::npos) return {};
  return std::string(text.substr(star + 1, open - star - 1));
}

void AlertFacts(HistoryEvent& e) {
  const std::string_view text = e.text;
  if (const size_t at = NumberAfter(text, kCpuPart, kExceedPart); at != std::string_view::npos) {
    e.watch = HistoryWatch::Cpu;
    e.value = LeadingNumber(text.substr(at));
  } else if (const size_t mem = NumberAfter(text, kMemoryPart, kExceedPart);
             mem != std::string_view::npos) {
    e.watch = HistoryWatch::Memory;
    e.value = LeadingNumber(text.substr(mem));
  }
  if (Contains(text, kKilledTrue)) e.kill = KillOutcome::Terminated;
  if (Contains(text, kKilledFalse)) e.kill = KillOutcome::Failed;
  if (e.top.empty()) e.top = TallyTop(text);
  // Wrapped in the not-logged-in text, it cannot have gone out.
  if (StartsWith(ToLower(text.substr(0, kNotLoggedIn.size())), kNotLoggedIn)) {
    e.sent = SendState::LogOnly;
  }
}

void BackToNormalFacts(HistoryEvent& e) {
  const std::string_view text = e.text;
  if (StartsWith(text, "CPU ")) {
    e.watch = HistoryWatch::Cpu;
    e.value = LeadingNumber(text.substr(4));
  } else if (StartsWith(text, "MEM ")) {
    e.watch = HistoryWatch::Memory;
    e.value = LeadingNumber(text.substr(4));
  }
}

void ProgramAlertFacts(HistoryEvent& e) {
  const std::string_view text = e.text;
  size_t nameEnd = std::string_view::npos;
  if (const size_t at = NumberAfter(text, kCpuPart, kExceedPart); at != std::string_view::npos) {
    e.watch = HistoryWatch::ProgramCpu;
    e.value = LeadingNumber(text.substr(at));
    nameEnd = at - kCpuPart.size();
  } else if (const size_t mem = text.find(kProgramMemoryPart); mem != std::string_view::npos) {
    e.watch = HistoryWatch::ProgramMemory;
    const size_t share = text.find("M(", mem);
    if (share != std::string_view::npos) e.value = LeadingNumber(text.substr(share + 2));
    nameEnd = mem;
  }
  const size_t separator = text.find(kProgramSeparator);
  if (e.top.empty() && nameEnd != std::string_view::npos && separator != std::string_view::npos &&
      separator + kProgramSeparator.size() <= nameEnd) {
    const size_t start = separator + kProgramSeparator.size();
    e.top = std::string(text.substr(start, nameEnd - start));
  }
  if (EndsWith(text, kProgramKilled)) e.kill = KillOutcome::Terminated;
  if (EndsWith(text, kProgramNotKilled)) e.kill = KillOutcome::Failed;
}

}  // namespace

void ReadFactsFromText(HistoryEvent& event) {
  switch (event.kind) {
    case HistoryEventKind::AlertRaised:
      AlertFacts(event);
      break;
    case HistoryEventKind::BackToNormal:
      BackToNormalFacts(event);
      break;
    case HistoryEventKind::ProgramAlert:
      ProgramAlertFacts(event);
      break;
    default:
      break;
  }
}

}  // namespace tarnwick
