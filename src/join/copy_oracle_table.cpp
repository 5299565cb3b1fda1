#include "join/copy_oracle_table.h"

#include "join/open_staging_database.h"
#include "join/staging_table_exists.h"
#include "join/value_or_default.h"
#include "oracle/connection.h"
#include "oracle/oracle_connection_string.h"
#include "shell/event_yield.h"
#include "shell/quoted_names.h"

namespace {
// Copies of large tables take long; the driver's defaults would end them.
constexpr int OracleTimeoutSeconds = 5000;
}  // namespace

void CopyOracleTable(const OracleLogin& login, const QString& oracleTable,
                     const QString& stagingTable, const QString& path) {
    CopyOracleTable(OracleConnectionString(login), oracleTable, stagingTable, path);
}

void CopyOracleTable(const QString& oracleConnectionString, const QString& oracleTable,
                     const QString& stagingTable, const QString& path) {
    EventYield yield;

    db::Connection oracle;
    oracle.setMode(db::Mode::ReadWrite);
    // Rows are read one at a time as the copy goes, never all at once, so
    // memory stays flat whatever the table's size.
    oracle.setCursorLocation(db::CursorLocation::Server);
    oracle.setCommandTimeout(OracleTimeoutSeconds);
    oracle.setConnectionTimeout(OracleTimeoutSeconds);
    oracle.open(oracleConnectionString);

    db::Connection staging = OpenStagingDatabase(path);

    const QString target = StagingName(stagingTable);
    if (StagingTableExists(path, stagingTable))
        staging.execute(QStringLiteral("DROP TABLE ") + target);

    db::ResultSet source = oracle.query(QStringLiteral("SELECT * FROM ") + OracleName(oracleTable));

    const int fields = source.fieldCount();
    QString create = QStringLiteral("CREATE TABLE ") + target + QLatin1Char('(');
    for (int i = 0; i < fields; ++i) {
        yield();
        create += StagingName(source.fieldName(i)) + QStringLiteral(" TEXT,");
    }
    create.chop(1);
    create += QStringLiteral(");");
    staging.execute(create);

    const QString insertStart =
        QStringLiteral("INSERT INTO ") + target + QStringLiteral(" VALUES(");
    // A failed fetch throws, so a broken stream ends the loop as a failure.
    for (;;) {
        yield();
        if (!source.next()) break;
        QString insert = insertStart;
        for (int j = 0; j < fields; ++j) {
            yield();
            if (j > 0) insert += QStringLiteral(", ");
            const QString text = ValueOrDefault(source.value(j), QString());
            insert += text.isEmpty() ? QStringLiteral("NULL") : QuotedText(text);
        }
        insert += QLatin1Char(')');
        staging.execute(insert);
    }
    source.close();
}
