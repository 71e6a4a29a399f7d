// What the text of an alert or back-to-normal says about it: the watch, the value, the top
// process, the termination and whether it was only logged. Rows written before the history kept
// these facts get them from their text when the file is brought up to date.
#pragma once

#include "domain/history_types.h"

namespace tarnwick {

// Fills `watch`, `value`, `top`, `kill` and `sent` of an alert, back-to-normal or program alert
// from its text where the text tells them; leaves them as they are where it does not.
void ReadFactsFromText(HistoryEvent& event);

}  // namespace tarnwick
