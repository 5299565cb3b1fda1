#include "base/failure_details.h"

#include "base/failure.h"
#include "base/failure_description.h"
#include "base/log_file.h"

QString FailureDetails(const std::exception& error) {
    const auto* failure = dynamic_cast<const Failure*>(&error);
    QString text = failure ? failure->details() : FailureDescription(error);
    // Drivers end their messages with a line break.
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r'))) text.chop(1);
    const QString log = OpenLogFilePath();
    if (!log.isEmpty()) text += QStringLiteral("\n\nLog file: ") + log;
    return text;
}
