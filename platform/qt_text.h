#pragma once

#include <QString>
#include <string>

#include "platform/ansi.h"

namespace platform {

// 8-bit program text (UTF-8 or Windows-1252) for a window; CRs become line breaks.
inline QString ToQString(const std::string& text) {
  const std::u16string units = DisplayText(text);
  return QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size()));
}

// Text typed or picked in a window (a path, mostly): the system's own bytes, UTF-8.
inline std::string FromQString(const QString& text) { return text.toStdString(); }

}  // namespace platform
