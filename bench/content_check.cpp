#include "content_check.h"

#include <QStringList>

#include "bench_data.h"
#include "odbc.h"

namespace bench {
namespace {

QString serverName(const QString& name) {
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// The join's columns: the first table's, then the second's, as the program's
// result has them, so the table's own column names need not be known.
QString joinQuery(const SourceTables& tables) {
    QStringList columns;
    const auto add = [&](const QString& alias, const SourceTable& table) {
        for (const QString& column : table.columns)
            columns << QStringLiteral("NULLIF(%1.%2::text, '')").arg(alias, serverName(column));
    };
    add(QStringLiteral("a"), tables.first);
    add(QStringLiteral("b"), tables.second);
    return QStringLiteral("SELECT %1 FROM %2 a FULL OUTER JOIN %3 b ON a.%4 = b.%5")
        .arg(columns.join(QStringLiteral(", ")), serverName(tables.first.name),
             serverName(tables.second.name), serverName(tables.first.keyField),
             serverName(tables.second.keyField));
}

}  // namespace

ContentCheck CheckContent(const OdbcConnection& server, const SourceTables& tables,
                          const QString& resultTable) {
    // EXCEPT ALL compares by position and keeps repeats: a row the join has
    // twice and the table once is one row missing.
    const QString sql =
        QStringLiteral(
            "WITH j AS MATERIALIZED (%1), t AS MATERIALIZED (SELECT * FROM %2) "
            "SELECT (SELECT count(*) FROM j), (SELECT count(*) FROM t), "
            "(SELECT count(*) FROM (SELECT * FROM j EXCEPT ALL SELECT * FROM t) x), "
            "(SELECT count(*) FROM (SELECT * FROM t EXCEPT ALL SELECT * FROM j) y)")
            .arg(joinQuery(tables), serverName(resultTable));
    OdbcStatement query(server);
    query.executeDirect(sql);
    query.check(SQLFetch(query.get()), "SQLFetch");
    qint64 counts[4] = {};
    for (SQLUSMALLINT i = 0; i < 4; ++i)
        query.check(SQLGetData(query.get(), i + 1, SQL_C_SBIGINT, &counts[i], 0, nullptr),
                    "SQLGetData");
    return {counts[0], counts[1], counts[2], counts[3]};
}

}  // namespace bench
