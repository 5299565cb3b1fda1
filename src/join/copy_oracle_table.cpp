#include "join/copy_oracle_table.h"

#include "base/run_context.h"
#include "db/connection.h"
#include "db/create_table_statement.h"
#include "db/insert_statement.h"
#include "db/quoted_names.h"
#include "join/open_staging_database.h"
#include "join/staging_table_exists.h"
#include "oracle/oracle_connection_string.h"

namespace {
// The copy's query of a large table takes long; the driver's default would
// end it. Connecting keeps the default wait, as the login check does: a
// server that does not answer is reported in seconds, not after hours.
constexpr int OracleCommandTimeoutSeconds = 5000;
}  // namespace

void CopyOracleTable(const OracleLogin& login, const QString& oracleTable,
                     const QString& stagingTable, const QString& path, RunContext& context) {
    CopyOracleTable(OracleConnectionString(login), oracleTable, stagingTable, path, context);
}

void CopyOracleTable(const QString& oracleConnectionString, const QString& oracleTable,
                     const QString& stagingTable, const QString& path, RunContext& context) {
    db::Connection oracle;
    oracle.setMode(db::Mode::ReadWrite);
    // Rows are read one at a time as the copy goes, never all at once, so
    // memory stays flat whatever the table's size.
    oracle.setCursorLocation(db::CursorLocation::Server);
    oracle.setCommandTimeout(OracleCommandTimeoutSeconds);
    oracle.setRunContext(&context);
    oracle.open(oracleConnectionString);

    db::Connection staging = OpenStagingDatabase(path, &context);

    const QString target = StagingName(stagingTable);
    if (StagingTableExists(path, stagingTable))
        staging.execute(QStringLiteral("DROP TABLE ") + target);

    db::ResultSet source = oracle.query(QStringLiteral("SELECT * FROM ") + OracleName(oracleTable));

    QStringList columns;
    for (int i = 0; i < source.fieldCount(); ++i) {
        context.yield();
        columns << source.fieldName(i);
    }
    staging.execute(
        CreateTableStatement(NameQuoting::Staging, stagingTable, columns, QStringLiteral("TEXT")));

    // A failed fetch throws, so a broken stream ends the loop as a failure.
    for (;;) {
        context.yield();
        if (!source.next()) break;
        staging.execute(
            InsertStatement(NameQuoting::Staging, stagingTable, source.row(), EmptyText::AsNull));
    }
    source.close();
}
