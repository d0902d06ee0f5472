#include "platform/qt_event_bridge.h"

#include <QCoreApplication>

namespace platform {

QtEventBridge::QtEventBridge(EventLoop& loop, QObject* parent)
    : QObject(parent), loop_(loop), notifier_(loop.Descriptor(), QSocketNotifier::Read) {
  connect(&notifier_, &QSocketNotifier::activated, this, [this] { loop_.DispatchPending(); });
  loop_.SetHostPump([] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
}

QtEventBridge::~QtEventBridge() { loop_.SetHostPump({}); }

}  // namespace platform
