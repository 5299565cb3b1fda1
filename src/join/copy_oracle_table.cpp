#include "join/copy_oracle_table.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <limits>

#include "base/doubling_batch.h"
#include "base/run_context.h"
#include "db/block_read_refused.h"
#include "db/connection.h"
#include "db/create_table_statement.h"
#include "db/insert_statement.h"
#include "db/quoted_names.h"
#include "join/open_staging_database.h"
#include "join/staging_table_exists.h"
#include "oracle/oracle_connection_string.h"

namespace {
Q_LOGGING_CATEGORY(lcCopy, "quillmere.join", QtInfoMsg)

// Rows per commit of the copy: growing from the first to the longest stretch
// while stretches are quick, and cut short when one takes CommitMs, so that a
// failure part-way keeps what was copied. With a window to serve, a commit
// folds no log into the file (the staging file's checkpoints run on the
// worker); without one, SQLite folds it in at some commits, which the
// stretch's time then counts.
constexpr qint64 CommitMs = 100;
constexpr DoublingBatch::Bounds CopyStretches{1, 16, 8192, CommitMs,
                                              std::numeric_limits<qint64>::max()};
// The copy's query of a large table takes long; the driver's default would
// end it. Connecting keeps the default wait, as the login check does: a
// server that does not answer is reported in seconds, not after hours.
constexpr int OracleCommandTimeoutSeconds = 5000;

// One prepared INSERT, its rows committed a stretch at a time: the first
// stretches are short, so a failure part-way keeps what was copied, and they
// double while their commits stay quick.
qint64 copyRows(db::ResultSet& source, db::Connection& staging, const QString& stagingTable,
                int columnCount, RunContext& context) {
    db::PreparedStatement insert =
        staging.prepare(InsertStatement(NameQuoting::Staging, stagingTable, columnCount));
    DoublingBatch stretch(CopyStretches);
    qint64 inStretch = 0;
    qint64 copied = 0;
    QElapsedTimer sinceCommit;
    staging.beginTransaction();
    sinceCommit.start();
    try {
        // A failed fetch throws, so a broken stream ends the loop as a failure.
        for (;;) {
            context.yield();
            if (!source.next()) break;
            insert.execute(source.row(), EmptyText::AsNull);
            ++copied;
            if (++inStretch < stretch.rows() && sinceCommit.elapsed() < CommitMs) continue;
            staging.commit();
            stretch.took(sinceCommit.elapsed());
            inStretch = 0;
            staging.beginTransaction();
            sinceCommit.restart();
        }
        staging.commit();
        return copied;
    } catch (...) {
        // What was copied before the failure stays; a stretch that the
        // staging file itself refused may be gone with its transaction.
        try {
            staging.commit();
        } catch (...) {
        }
        throw;
    }
}

}  // namespace

qint64 CopyOracleTable(const OracleLogin& login, const QString& oracleTable,
                       const QString& stagingTable, const QString& path, RunContext& context) {
    db::Connection oracle;
    oracle.setMode(db::Mode::ReadWrite);
    // Rows are read one at a time as the copy goes, never all at once, so
    // memory stays flat whatever the table's size.
    oracle.setCursorLocation(db::CursorLocation::Server);
    oracle.setCommandTimeout(OracleCommandTimeoutSeconds);
    oracle.setRunContext(&context);
    oracle.open(OracleConnectionString(login));

    db::Connection staging = OpenStagingDatabase(path, &context);

    const QString target = StagingName(stagingTable);
    if (StagingTableExists(path, stagingTable))
        staging.execute(QStringLiteral("DROP TABLE ") + target);

    const QString query = QStringLiteral("SELECT * FROM ") + OracleName(oracleTable);
    db::ResultSet source = oracle.query(query);

    QStringList columns;
    for (int i = 0; i < source.fieldCount(); ++i) {
        context.yield();
        columns << source.fieldName(i);
    }
    staging.execute(
        CreateTableStatement(NameQuoting::Staging, stagingTable, columns, QStringLiteral("TEXT")));

    qint64 copied = 0;
    try {
        copied = copyRows(source, staging, stagingTable, int(columns.size()), context);
    } catch (const db::BlockReadRefused& refused) {
        // The driver read blocks of rows but would not read a long value of
        // one again: the copy starts over, its rows read one at a time, so
        // that no row is copied twice or left out.
        qCWarning(lcCopy).noquote()
            << "copying" << oracleTable << "again, a row at a time:" << refused.description();
        source.close();
        staging.execute(QStringLiteral("DELETE FROM ") + target);
        source = oracle.query(query);
        copied = copyRows(source, staging, stagingTable, int(columns.size()), context);
    }
    source.close();
    return copied;
}
