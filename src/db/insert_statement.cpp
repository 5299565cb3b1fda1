#include "db/insert_statement.h"

QString InsertStatement(NameQuoting quoting, const QString& table, const db::Row& row,
                        EmptyText empty) {
    QString statement =
        QStringLiteral("INSERT INTO ") + QuotedName(quoting, table) + QStringLiteral(" VALUES(");
    bool first = true;
    for (const db::Value& value : row) {
        if (!first) statement += QStringLiteral(", ");
        first = false;
        const bool asNull = !value || (value->isEmpty() && empty == EmptyText::AsNull);
        statement += asNull ? QStringLiteral("NULL") : QuotedText(*value);
    }
    return statement + QLatin1Char(')');
}
