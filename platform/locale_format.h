#pragma once

#include <QDateTime>
#include <string>

namespace platform {

// The user's short date, a blank and the long time; only the date at exactly
// midnight. Used in transfer-log lines.
std::string FormatDateTime(const QDateTime& moment);

}  // namespace platform

namespace platform {

// FormatDateTime of the current local date and time.
std::string NowText();

}  // namespace platform
