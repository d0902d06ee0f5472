#include "platform/now_text.h"

#include <QDateTime>

#include "platform/locale_format.h"

namespace platform {

std::string NowText() { return FormatDateTime(QDateTime::currentDateTime()); }

}  // namespace platform
