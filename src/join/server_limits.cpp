#include "join/server_limits.h"

#include <QStringList>

#include "db/connection.h"
#include "db/db_error.h"
#include "join/join_choice.h"
#include "join/result_column_names.h"
#include "oracle/list_table_fields.h"
#include "oracle/oracle_connection_string.h"

namespace {

// Oracle counts a name's bytes in the database character set; here they are
// counted in UTF-8, which is that set in an AL32UTF8 database and never fewer
// bytes than a single-byte set gives.
qsizetype bytesOf(const QString& name) { return name.toUtf8().size(); }

}  // namespace

db::ServerLimits CheckJoinWithinServerLimits(const JoinChoice& choice, RunContext& context) {
    db::Connection oracle;
    oracle.setRunContext(&context);
    oracle.open(OracleConnectionString(choice.login));
    const db::ServerLimits limits = oracle.limits();
    if (limits.columnsInTable == 0 && limits.columnNameBytes == 0) return limits;
    // A table whose fields cannot be read is left to its copy, which says why
    // at its own step.
    QStringList fields;
    try {
        fields = TableFieldNames(oracle, choice.table1) + TableFieldNames(oracle, choice.table2);
    } catch (const DbError&) {
        return limits;
    }
    const QStringList columns = ResultColumnNames(fields, choice.suffix);
    if (limits.columnsInTable > 0 && columns.size() > limits.columnsInTable)
        throw ServerLimitExceeded(
            QStringLiteral("The joined table would have %1 columns; the server takes at most %2 "
                           "columns in a table.")
                .arg(QString::number(columns.size()), QString::number(limits.columnsInTable)));
    if (limits.columnNameBytes > 0)
        for (const QString& column : columns)
            if (bytesOf(column) > limits.columnNameBytes)
                throw ServerLimitExceeded(
                    QStringLiteral("The column name \"%1\" of the joined table is %2 bytes long; "
                                   "the server takes column names of at most %3 bytes.")
                        .arg(column, QString::number(bytesOf(column)),
                             QString::number(limits.columnNameBytes)));
    return limits;
}

void CheckTableNameWithinServerLimits(const db::ServerLimits& limits, const QString& name) {
    if (limits.tableNameBytes > 0 && bytesOf(name) > limits.tableNameBytes)
        throw ServerLimitExceeded(
            QStringLiteral("The table name \"%1\" is %2 bytes long; the server takes table "
                           "names of at most %3 bytes.")
                .arg(name, QString::number(bytesOf(name)), QString::number(limits.tableNameBytes)));
}
