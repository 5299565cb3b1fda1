#include "oracle/login_help_texts.h"

#include <QStringList>

QString SidHelpText() {
    const QString crlf = QStringLiteral("\r\n");
    const QStringList entry = {
        QStringLiteral("ZEDA ="),
        QStringLiteral(" (DESCRIPTION ="),
        QStringLiteral("   (ADDRESS_LIST ="),
        QStringLiteral("     (ADDRESS = (PROTOCOL = TCP)(HOST = 192.0.2.10)(PORT = 1521))"),
        QStringLiteral("   )"),
        QStringLiteral("   (CONNECT_DATA ="),
        QStringLiteral("     (SID = ZEDA)"),
        QStringLiteral("   )"),
        QStringLiteral(" )"),
    };
    return QStringLiteral("This software works with Oracle 9i or higher.") +
           QStringLiteral("\r\r") +
           QStringLiteral(
               "The SID is used to identify a particular database. The SID is usually "
               "defined in the TNSNAMES.ORA file. The TNSNAMES.ORA file found in my Oracle "
               "9i folder looks like:") +
           crlf + crlf + entry.join(crlf) + crlf + crlf +
           QStringLiteral("Therefore, my SID would be ZEDA");
}

QString LobHelpText() {
    return QStringLiteral("This software does not support the CLOB and NLOB data type in Oracle.");
}

QString StagingHelpText() {
    return QStringLiteral("You must have Access 2000 or higher installed.");
}
