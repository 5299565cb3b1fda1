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

db::Row InsertValues(const db::Row& row, EmptyText empty) {
    db::Row values;
    InsertValues(row, empty, values);
    return values;
}

void InsertValues(const db::Row& row, EmptyText empty, db::Row& values) {
    values.assign(row.begin(), row.end());
    if (empty == EmptyText::AsText) return;
    for (db::Value& value : values)
        if (value && value->isEmpty()) value.reset();
}
