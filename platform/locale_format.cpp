#include "platform/locale_format.h"

#include <QLocale>
#include <QRegularExpression>

namespace platform {
namespace {

// Qt's long time format may carry the time zone ("t"); the Windows long time,
// which log readers know, does not.
QString LongTimeFormat(const QLocale& locale) {
  QString format = locale.timeFormat(QLocale::LongFormat);
  format.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*")));
  return format.trimmed();
}

}  // namespace

std::string FormatDateTime(const QDateTime& moment) {
  const QLocale locale = QLocale::system();
  QString text = locale.toString(moment.date(), QLocale::ShortFormat);
  if (moment.time() != QTime(0, 0))
    text += QChar(' ') + locale.toString(moment.time(), LongTimeFormat(locale));
  return text.toStdString();
}

}  // namespace platform
