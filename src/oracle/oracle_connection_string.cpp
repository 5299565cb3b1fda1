#include "oracle/oracle_connection_string.h"

#include "db/connection_string_attributes.h"

QString OracleConnectionString(const OracleLogin& login) {
    return QStringLiteral("Driver={Microsoft ODBC for Oracle};Server=") +
           attributeValueText(login.sid) + QStringLiteral(";Uid=") +
           attributeValueText(login.user) + QStringLiteral(";Pwd=") +
           attributeValueText(login.password) + QLatin1Char(';');
}
