#include "db/insert_statement.h"

QString InsertStatement(NameQuoting quoting, const QString& table, int columns) {
    QString statement =
        QStringLiteral("INSERT INTO ") + QuotedName(quoting, table) + QStringLiteral(" VALUES(");
    for (int i = 0; i < columns; ++i) {
        if (i > 0) statement += QStringLiteral(", ");
        statement += QLatin1Char('?');
    }
    return statement + QLatin1Char(')');
}
