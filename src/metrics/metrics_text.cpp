#include "metrics/metrics_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/text.h"

namespace tarnwick {
namespace {

enum class Kind { Gauge, Counter };

// One metric family as the exposition writes it: the HELP and TYPE lines, then its samples.
class Family {
 public:
  Family(std::string& out, std::string_view name, Kind kind, std::string_view help)
      : out_(out), name_(name) {
    out_ += "# HELP ";
    out_ += name;
    out_ += ' ';
    out_ += help;
    out_ += "\n# TYPE ";
    out_ += name;
    out_ += kind == Kind::Counter ? " counter\n" : " gauge\n";
  }

  // A sample without labels.
  void Sample(double value) { Line({}, value); }
  // A sample with the label watch="...".
  void Watch(size_t watch, double value) {
    Line({{"watch", std::string(kWatchLabels[watch])}}, value);
  }
  void Line(const std::vector<std::pair<std::string_view, std::string>>& labels, double value) {
    out_ += name_;
    if (!labels.empty()) {
      out_ += '{';
      for (size_t i = 0; i < labels.size(); ++i) {
        if (i > 0) out_ += ',';
        out_ += labels[i].first;
        out_ += "=\"";
        out_ += LabelValue(labels[i].second);
        out_ += '"';
      }
      out_ += '}';
    }
    out_ += ' ';
    out_ += SampleValue(value);
    out_ += '\n';
  }

 private:
  std::string& out_;
  std::string_view name_;
};

double Flag(bool on) {
  return on ? 1 : 0;
}

double Count(uint64_t count) {
  return static_cast<double>(count);
}

// A gauge without labels, written only when the value is known.
void OptionalGauge(std::string& out, std::string_view name, std::string_view help,
                   const std::optional<double>& value) {
  if (!value) return;
  Family(out, name, Kind::Gauge, help).Sample(*value);
}

void OptionalCounter(std::string& out, std::string_view name, std::string_view help,
                     const std::optional<double>& value) {
  if (!value) return;
  Family(out, name, Kind::Counter, help).Sample(*value);
}

}  // namespace

std::string LabelValue(std::string_view text) {
  const std::string printable = PrintableText(text);
  std::string out;
  out.reserve(printable.size());
  for (char c : printable) {
    if (c == '\\' || c == '"') out += '\\';
    // PrintableText leaves no line end; escaped all the same, the format's own rule.
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out;
}

std::string SampleValue(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "+Inf" : "-Inf";
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string FormatMetrics(const MetricsSnapshot& s, const ProcessSelfFigures& self,
                          const MetricsIdentity& identity) {
  std::string out;
  out.reserve(6000);
  const auto& w = s.watches;

  Family(out, "tarnwick_build_info", Kind::Gauge,
         "The Tarnwick program serving these metrics and its version (always 1).")
      .Line({{"program", identity.program}, {"version", identity.version}}, 1);
  Family(out, "tarnwick_monitoring", Kind::Gauge,
         "1 while monitoring runs; 0 while it is stopped or waits for the service login.")
      .Sample(Flag(s.monitoring));
  OptionalGauge(out, "tarnwick_cpu_usage_ratio",
                "Total CPU usage of the machine at the last cycle, 0 to 1.", s.cpuUsageRatio);
  OptionalGauge(out, "tarnwick_memory_total_bytes", "Physical memory of the machine.",
                s.memoryTotalBytes);
  OptionalGauge(out, "tarnwick_memory_available_bytes",
                "Memory available to programs at the last cycle.", s.memoryAvailableBytes);
  OptionalGauge(out, "tarnwick_memory_used_bytes",
                "Memory in use at the last cycle (total less available).", s.memoryUsedBytes);

  {
    Family f(out, "tarnwick_watch_consecutive_samples", Kind::Gauge,
             "Consecutive samples of a watch at or above its threshold since its last sample "
             "under it or its last alert.");
    for (size_t i = 0; i < kWatchCount; ++i) f.Watch(i, w[i].consecutive);
  }
  {
    Family f(out, "tarnwick_watch_threshold_ratio", Kind::Gauge,
             "Threshold of a watch, 0 to 1 (absent while the setting is not a number: the watch "
             "is off).");
    for (size_t i = 0; i < kWatchCount; ++i) {
      if (w[i].thresholdRatio) f.Watch(i, *w[i].thresholdRatio);
    }
  }
  {
    Family f(out, "tarnwick_watch_alert_samples", Kind::Gauge,
             "Consecutive samples at or above the threshold that raise an alert of a watch.");
    for (size_t i = 0; i < kWatchCount; ++i) {
      if (w[i].alertSamples) f.Watch(i, *w[i].alertSamples);
    }
  }
  {
    Family f(out, "tarnwick_watch_alert_active", Kind::Gauge,
             "1 from an alert of a watch until its next sample under the threshold.");
    for (size_t i = 0; i < kWatchCount; ++i) f.Watch(i, Flag(w[i].alertActive));
  }
  {
    Family f(out, "tarnwick_top_process_share_ratio", Kind::Gauge,
             "The process an alert of a watch names and its share of the machine, 0 to 1: "
             "while the watch is over its threshold before the alert, the one most often on top "
             "so far; from the alert until the next sample under the threshold, the alert's own.");
    for (size_t i = 0; i < kWatchCount; ++i) {
      if (!w[i].topName) continue;
      f.Line({{"watch", std::string(kWatchLabels[i])}, {"name", *w[i].topName}},
             w[i].topShareRatio);
    }
  }
  {
    // The pid is a label of its own series so that the share's series lives as long as the
    // alert and its name, not one per process started.
    Family f(out, "tarnwick_top_process_info", Kind::Gauge,
             "The pid of the process an alert of a watch names, from the alert until the next "
             "sample under the threshold (always 1).");
    for (size_t i = 0; i < kWatchCount; ++i) {
      if (!w[i].topName || !w[i].alertTopPid) continue;
      f.Line({{"watch", std::string(kWatchLabels[i])},
              {"name", *w[i].topName},
              {"pid", std::to_string(*w[i].alertTopPid)}},
             1);
    }
  }
  const auto perWatch = [&](std::string_view name, std::string_view help, auto value) {
    Family f(out, name, Kind::Counter, help);
    for (size_t i = 0; i < kWatchCount; ++i) f.Watch(i, Count(value(w[i])));
  };
  perWatch("tarnwick_alerts_raised_total", "Alerts raised by a watch.",
           [](const WatchMetrics& m) { return m.alertsRaised; });
  perWatch("tarnwick_alerts_sent_total",
           "Alerts of a watch that went out to the web service as SMS or mail.",
           [](const WatchMetrics& m) { return m.alertsSent; });
  perWatch("tarnwick_alerts_suppressed_total",
           "Alerts of a watch that were only logged: a repeat, logged out, alerts off, outside "
           "the sending hours, no credits.",
           [](const WatchMetrics& m) { return m.alertsRaised - m.alertsSent; });
  perWatch("tarnwick_kills_attempted_total", "Terminations tried at the alerts of a watch.",
           [](const WatchMetrics& m) { return m.killsSucceeded + m.killsFailed; });
  perWatch("tarnwick_kills_succeeded_total",
           "Terminations at the alerts of a watch that ended the process.",
           [](const WatchMetrics& m) { return m.killsSucceeded; });
  perWatch("tarnwick_kills_refused_total",
           "Alerts of a watch with the kill on where nothing was terminated: the kill rules, the "
           "program itself on top, or the process already gone.",
           [](const WatchMetrics& m) { return m.killsRefused; });

  Family(out, "tarnwick_sms_sent_total", Kind::Counter,
         "Send-SMS requests made to the web service for alerts and back-to-normal notices.")
      .Sample(Count(s.smsSent));
  Family(out, "tarnwick_sms_credits", Kind::Gauge,
         "SMS credits left at the web service, as it last said (0 while logged out).")
      .Sample(s.smsCredits);
  Family(out, "tarnwick_service_logged_in", Kind::Gauge,
         "1 while logged in to the web SMS and mail service: its last login was accepted.")
      .Sample(Flag(s.loggedIn));
  Family(out, "tarnwick_mail_failures_total", Kind::Counter,
         "Mails through the second SMTP server that did not leave (the mailer failed or could "
         "not start).")
      .Sample(Count(s.mailFailures));
  Family(out, "tarnwick_cycles_total", Kind::Counter, "Monitor cycles run.")
      .Sample(Count(s.cycles));
  OptionalGauge(out, "tarnwick_cycle_duration_seconds",
                "How long the last monitor cycle took (both watches and the program monitor).",
                s.lastCycleSeconds);

  OptionalCounter(out, "process_cpu_seconds_total",
                  "Total user and system CPU time spent in seconds.", self.cpuSeconds);
  OptionalGauge(out, "process_resident_memory_bytes", "Resident memory size in bytes.",
                self.residentBytes);
  OptionalGauge(out, "process_virtual_memory_bytes", "Virtual memory size in bytes.",
                self.virtualBytes);
  OptionalGauge(out, "process_open_fds", "Number of open file descriptors.", self.openFds);
  OptionalGauge(out, "process_max_fds", "Maximum number of open file descriptors.", self.maxFds);
  OptionalGauge(out, "process_start_time_seconds",
                "Start time of the process since unix epoch in seconds.", self.startTimeSeconds);
  return out;
}

}  // namespace tarnwick
