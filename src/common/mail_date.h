// The Date header of a mail.
#pragma once

#include <string>

#include "common/time_text.h"

namespace tarnwick {

// RFC 5322 date of a local time whose offset from UTC is `utcOffsetMinutes`, with English day and
// month names whatever the locale says: "Tue, 14 Nov 2023 23:13:20 +0100".
std::string MailDateText(const LocalTime& t, int utcOffsetMinutes);

}  // namespace tarnwick
