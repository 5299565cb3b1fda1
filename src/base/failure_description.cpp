#include "base/failure_description.h"

#include <new>

#include "base/failure.h"

QString FailureDescription(const std::exception& error) {
    if (const auto* failure = dynamic_cast<const Failure*>(&error)) return failure->description();
    // The runtime's own text for it says nothing to the user.
    if (dynamic_cast<const std::bad_alloc*>(&error)) return QStringLiteral("Out of memory");
    return QString::fromLocal8Bit(error.what());
}
