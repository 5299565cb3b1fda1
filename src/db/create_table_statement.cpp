#include "db/create_table_statement.h"

QString CreateTableStatement(NameQuoting quoting, const QString& table, const QStringList& columns,
                             const QString& columnType) {
    QStringList definitions;
    for (const QString& column : columns)
        definitions << QuotedName(quoting, column) + QLatin1Char(' ') + columnType;
    return QStringLiteral("CREATE TABLE ") + QuotedName(quoting, table) + QLatin1Char('(') +
           definitions.join(QLatin1Char(',')) + QLatin1Char(')');
}
