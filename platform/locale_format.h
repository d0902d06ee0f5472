#pragma once

#include <QDateTime>
#include <string>

#include "platform/now_text.h"

namespace platform {

// The user's short date, a blank and the long time; only the date at exactly
// midnight. Used in transfer-log lines.
std::string FormatDateTime(const QDateTime& moment);

}  // namespace platform

