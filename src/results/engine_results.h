// The decisions of the monitoring engine, each made once and announced as one of these values to
// whoever listens: the main window's form, the usage history, the metrics, the Event Log and the
// Processes window. The texts in them are those the engine wrote to the activity log.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/time_text.h"
#include "results/dispatch_outcome.h"
#include "results/kill_verdict.h"
#include "results/top_sample.h"
#include "results/watch.h"

namespace tarnwick {

// A monitor cycle begins (the timer ran out); `time` is its local time.
struct CycleStart {
  long cycle = 0;
  LocalTime time;
};

// One sample of the machine: the CPU and memory readings and the values the watches judge. A
// reading that failed is refused and its watch judges the value it kept from before.
struct SampleResult {
  long cycle = 0;
  LocalTime time;
  int cpu = 0;          // this cycle's CPU reading in percent, -1 when it failed
  int mem = 0;          // memory used in percent (0 while the total is not known)
  int64_t totalMB = 0;  // whole megabytes of total memory; 0 when not known
  int64_t availableMB = 0;
  int64_t usedMB = 0;
  int judgedCpu = 0;  // the CPU value the watch judged (0 to 100)
  int judgedMem = 0;  // the memory value the watch judged (0 to 100)
};

// A sample of a machine watch at or above its threshold, with the process on top of it.
struct ExceedingResult {
  Watch watch = Watch::Cpu;
  int value = 0;           // the sample's value in percent
  int count = 0;           // consecutive exceeding samples, this one included
  TopSample top;           // this sample's top process (empty name when none was found)
  bool shareKnown = true;  // its share could be had (not for memory without a memory total)
  TopSample runTop;        // the process the kill rules would choose over the run so far
  std::string line;        // the exceed line as written to the log
};

// A sample of a machine watch under its threshold.
struct NormalSampleResult {
  Watch watch = Watch::Cpu;
  int value = 0;
};

// Both machine watches have judged the cycle's sample (the kill rules' picks came before this).
struct WatchesDone {
  long cycle = 0;
};

// What became of the termination due at an alert.
enum class TerminationOutcome {
  NotOn,      // the watch's kill switch is off
  Refused,    // it is on, but nothing was tried: the kill rules said no, or the process had ended
  Succeeded,  // the process was terminated
  Failed,     // it was tried and the process lives on
};

// An alert of a watch: its tally, the process it names first with that process's share, the
// termination's outcome and the dispatcher's outcome.
struct AlertResult {
  Watch watch = Watch::Cpu;
  double value = 0;   // the value that raised it, in percent
  int samples = 0;    // consecutive exceeding samples it rests on
  int seconds = 0;    // from the first of them to the alert
  TopSample top;      // the process chosen by the tally (the watched program for its watches)
  std::string tally;  // "*a(2),b(1)": every name with its count, the chosen one first
  TerminationOutcome termination = TerminationOutcome::NotOn;
  std::string killedName;  // the process a termination was tried on
  int killedPid = 0;
  DispatchOutcome dispatch = DispatchOutcome::AlertsOff;
  std::string message;  // the alert's text as the log has it (and as handed to the dispatcher)
};

// A watch came back under its threshold after exceeding, or after an alert went out.
struct BackToNormalResult {
  Watch watch = Watch::Cpu;
  double value = 0;
  std::string line;     // "CPU 12% back to normal" for the machine's watches; the notice otherwise
  std::string program;  // the watched program's name, for its watches
  bool noticeDue = false;  // an alert had gone out, so a back-to-normal notice was due
  DispatchOutcome dispatch = DispatchOutcome::AlertsOff;  // of the notice, when due
};

// A termination attempt on a process, at an alert of `watch`.
struct TerminationResult {
  Watch watch = Watch::Cpu;
  std::string name;
  int pid = 0;
  bool terminated = false;
  std::string line;  // the log line that reported it; empty when the alert's line reports it
};

// The steps of a login to the web service.
struct LoginResult {
  enum class Step {
    Started,     // logged out, monitoring off until the answer
    Connecting,  // the request is on its way
    NoAccount,   // no account is set up: monitoring starts, logged out
    Refused,     // the service said no; `reply` is its answer
    Accepted,    // logged in; `credits` are the credits it reported
    Unreadable,  // the answer could not be read (no connection, a timeout, garbage)
  };
  Step step = Step::Started;
  std::string reply;    // the service's answer (lower case), for Refused
  std::string credits;  // the credits as text
  std::string account;  // the account's e-mail address
  // A login tried again in the background after a failure: no box and no window for it, only its
  // outcome (the log has a line when the account is lost and one when it is back).
  bool retry = false;
};

// What the user is told when a login's answer cannot be read.
inline constexpr std::string_view kConnectionErrorMessage =
    "Connecting Error or Timeout !! Please check your network or try again";

// The credits left, as the service reported them after a request.
struct CreditsResult {
  std::string credits;
};

// The kill rules' answer for a machine watch at the end of a cycle.
struct KillPickResult {
  Watch watch = Watch::Cpu;
  KillVerdict verdict;
};

// The log's words when monitoring is switched on or off (the history keeps them too).
inline constexpr std::string_view kMonitoringStarted = "Monitoring Started";
inline constexpr std::string_view kMonitoringStopped = "Monitoring Stopped";

// Monitoring was switched on or off.
struct MonitoringResult {
  bool on = false;
  bool changed = false;  // it was the other way before
};

// The engine is about to scan the processes for the CPU ranking (`busy`), or has done so.
struct BusyResult {
  bool busy = false;
};

// One cycle of the watched program, for one resource.
struct ProgramStepResult {
  Watch watch = Watch::ProgramCpu;
  bool found = false;       // a process of the program's name ran
  double value = 0;         // its share in percent (CPU whole, memory to one decimal)
  int count = 0;            // consecutive samples at or above the threshold
  bool terminated = false;  // this step terminated it
};

// Something failed that the user must hear of; `line` is the log line's message.
struct FailureResult {
  enum class Kind { LogFile, SettingsFile, History, Mail, Credits, Metrics };
  Kind kind = Kind::LogFile;
  std::string line;
};

// A monitor cycle (both watches and the program monitor) ended.
struct CycleDoneResult {
  long cycle = 0;
  long long durationNs = 0;
};

}  // namespace tarnwick
