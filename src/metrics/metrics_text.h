// The Prometheus text exposition format (version 0.0.4) of the snapshot: the metrics' names,
// help texts and types, and the escaping of label values.
#pragma once

#include <string>
#include <string_view>

#include "metrics/metrics_snapshot.h"
#include "platform/process_self.h"

namespace tarnwick {

// The label value of each watch, in the order of Watch.
inline constexpr std::string_view kWatchLabels[kWatchCount] = {"cpu", "memory", "program_cpu",
                                                               "program_memory"};

// The whole exposition: every metric with its HELP and TYPE lines, each line ended by "\n".
std::string FormatMetrics(const MetricsSnapshot& snapshot, const ProcessSelfFigures& self,
                          const MetricsIdentity& identity);

// A label value as the format quotes it: the text as a person reads it (controls and malformed
// UTF-8 become "?", so the value is valid UTF-8), with "\" "\"" and line ends escaped.
std::string LabelValue(std::string_view text);

// A sample value: the shortest text that reads back as the same double; NaN, +Inf, -Inf.
std::string SampleValue(double value);

}  // namespace tarnwick
