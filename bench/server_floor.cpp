#include "server_floor.h"

#include <QStringList>

#include "bench_data.h"
#include "external_command.h"
#include "standin_login.h"

namespace bench {
namespace {

QString serverName(const QString& name) {
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace

QString ServerJoinStatement(const SourceTables& tables, const QString& target) {
    QStringList taken;
    QStringList selected;
    const auto select = [&](const QString& alias, const SourceTable& table) {
        for (const QString& column : table.columns) {
            const QString name = taken.contains(column) ? column + QStringLiteral("_2") : column;
            taken << name;
            selected << QStringLiteral("%1.%2::varchar(2000) AS %3")
                            .arg(alias, serverName(column), serverName(name));
        }
    };
    select(QStringLiteral("a"), tables.first);
    select(QStringLiteral("b"), tables.second);
    return QStringLiteral(
               "CREATE TABLE %1 AS SELECT %2 FROM %3 a FULL OUTER JOIN %4 b ON a.%5 = b.%6")
        .arg(serverName(target), selected.join(QStringLiteral(", ")), serverName(tables.first.name),
             serverName(tables.second.name), serverName(tables.first.keyField),
             serverName(tables.second.keyField));
}

double ServerFloor(const StandinLogin& login, const QString& statement) {
    QStringList arguments = login.psqlArguments();
    arguments << QStringLiteral("-c") << statement;
    return RunTimed({QStringLiteral("psql"), arguments, QString(), login.psqlEnvironment()});
}

}  // namespace bench
