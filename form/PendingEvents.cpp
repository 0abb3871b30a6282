#include "PendingEvents.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace PendingEvents {

void ProcessExceptUserInput() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

}  // namespace PendingEvents
