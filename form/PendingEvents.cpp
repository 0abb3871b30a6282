#include "PendingEvents.h"

#include <QCoreApplication>

namespace PendingEvents {

void Process() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::processEvents();
    }
}

}  // namespace PendingEvents
