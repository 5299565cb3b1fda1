#include "db/insert_statement.h"

#include "db/value_or_default.h"

QString InsertStatement(NameQuoting quoting, const QString& table, int columns) {
    QString statement =
        QStringLiteral("INSERT INTO ") + QuotedName(quoting, table) + QStringLiteral(" VALUES(");
    for (int i = 0; i < columns; ++i) {
        if (i > 0) statement += QStringLiteral(", ");
        statement += QLatin1Char('?');
    }
    return statement + QLatin1Char(')');
}

db::Row InsertValues(const db::Row& row, EmptyText empty) {
    if (empty == EmptyText::AsText) return row;
    db::Row values = row;
    for (db::Value& value : values)
        if (ValueOrDefault(value, QString()).isEmpty()) value.reset();
    return values;
}
