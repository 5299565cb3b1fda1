#include "oracle/oracle_connection_string.h"

#include "base/failure.h"
#include "db/connection_string_attributes.h"

QString OracleConnectionString(const OracleLogin& login) {
    for (const QString* value : {&login.sid, &login.user, &login.password})
        if (value->size() > MaxLoginValueLength)
            throw Failure(QStringLiteral("The login is too long."));
    return QStringLiteral("Driver={Microsoft ODBC for Oracle};Server=") +
           attributeValueText(login.sid) + QStringLiteral(";Uid=") +
           attributeValueText(login.user) + QStringLiteral(";Pwd=") +
           attributeValueText(login.password) + QLatin1Char(';') + login.driverOptions;
}
