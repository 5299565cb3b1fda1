#include "base/error_message.h"

#include "base/product.h"

QString LocationText(const QString& window, const QString& handler) {
    return QStringLiteral("in Brisvane2018/12/22.") + window + QLatin1Char('.') + handler +
           QLatin1Char(' ');
}

QString ErrorMessage(const QString& description, const QString& location, int line) {
    return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") +
           QString::number(line) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") + SupportAddress();
}
