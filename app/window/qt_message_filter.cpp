#include "app/window/qt_message_filter.h"

#include <QtGlobal>
#include <cstdlib>

namespace app {
namespace {

QtMessageHandler qtHandler = nullptr;

void FilterQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  const char* rules = std::getenv("QT_LOGGING_RULES");
  if (type == QtFatalMsg || (rules && *rules)) qtHandler(type, context, message);
}

}  // namespace

void InstallQtMessageFilter() { qtHandler = qInstallMessageHandler(FilterQtMessage); }

}  // namespace app
