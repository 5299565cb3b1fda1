#include "join/join_run.h"

#include <QElapsedTimer>
#include <QLockFile>
#include <QLoggingCategory>
#include <QScopeGuard>
#include <optional>

#include "base/dialogs.h"
#include "base/error_message.h"
#include "base/failure.h"
#include "base/narrow_to_owner.h"
#include "base/pointer_state.h"
#include "base/run_context.h"
#include "base/trapped_handler.h"
#include "db/connection.h"
#include "db/create_table_statement.h"
#include "db/insert_statement.h"
#include "db/quoted_names.h"
#include "join/array_contains.h"
#include "join/copy_oracle_table.h"
#include "join/drop_staging_table.h"
#include "join/full_outer_join_sql.h"
#include "join/join_choice.h"
#include "join/join_window.h"
#include "join/loop_failures.h"
#include "join/make_column_varchar.h"
#include "join/open_staging_database.h"
#include "join/result_column_names.h"
#include "join/stage_full_outer_join.h"
#include "join/staging_database_path.h"
#include "join/staging_table_exists.h"
#include "join/step_succeeded.h"
#include "join/write_result_table.h"

namespace {

Q_LOGGING_CATEGORY(lcJoin, "quillmere.join", QtInfoMsg)

// What one run did, logged when it ends however it ends: -1 is a count the
// run did not reach.
struct RunSummary {
    enum Phase { Copy, Join, Stage, Write, PhaseCount };

    QString table1, table2, newTable;
    qint64 copied1 = -1, copied2 = -1, staged = -1, written = -1;
    double seconds[PhaseCount] = {0, 0, 0, 0};

    // Adds the time since the last call to the phase.
    void lap(Phase phase) { seconds[phase] += double(m_clock.restart()) / 1000.0; }
    void startClock() { m_clock.start(); }

    void log() const {
        const auto count = [](qint64 n) {
            return n < 0 ? QStringLiteral("-") : QString::number(n);
        };
        const auto secs = [&](Phase phase) { return QString::number(seconds[phase], 'f', 3); };
        // One arg() call, so a "%" in a table name is never taken for a place.
        qCInfo(lcJoin).noquote()
            << QStringLiteral(
                   "join run: %1 with %2 into %3: rows copied %4 and %5, staged %6, "
                   "written %7, missing %8; ")
                       .arg(table1, table2, newTable.isEmpty() ? QStringLiteral("-") : newTable,
                            count(copied1), count(copied2), count(staged), count(written),
                            count(staged < 0 || written < 0 ? -1 : staged - written)) +
                   QStringLiteral("seconds: copy ") + secs(Copy) + QStringLiteral(", join ") +
                   secs(Join) + QStringLiteral(", stage ") + secs(Stage) +
                   QStringLiteral(", write ") + secs(Write);
    }

private:
    QElapsedTimer m_clock;
};

// Marks the window busy for the length of one run.
class RunningMark final {
public:
    explicit RunningMark(JoinWindow& window) : m_window(window) { m_window.setJoinRunning(true); }
    ~RunningMark() { m_window.setJoinRunning(false); }
    RunningMark(const RunningMark&) = delete;
    RunningMark& operator=(const RunningMark&) = delete;

private:
    JoinWindow& m_window;
};

}  // namespace

void PushButton2_Click(JoinWindow& window, Dialogs& dialogs, RunContext& context,
                       const QString& programFolder) {
    // One run at a time: a click while a run yields starts nothing.
    if (window.joinRunning()) return;
    RunningMark running(window);

    TrappedHandler handler(
        LocationText(QStringLiteral("Form2"), QStringLiteral("PushButton2_Click")), dialogs,
        &context);
    const QString path = StagingDatabasePath(programFolder);
    JoinChoice choice;
    // Declared before the connections, so it is given up after they close.
    QLockFile stagingLock(path + QStringLiteral(".lock"));
    // Lines 100 to 118 create the run's objects; here they come into being
    // where they are opened.
    std::optional<db::Connection> staging;  // staging connection A
    QStringList joinColumns;
    QString newTable;

    const bool missingSelection = handler.test(120, [&] {
        const auto table1 = window.selectedTable1();
        const auto field1 = window.selectedField1();
        const auto table2 = window.selectedTable2();
        const auto field2 = window.selectedField2();
        if (!table1 || !field1 || !table2 || !field2) return true;
        choice = {*table1, *field1, *table2, *field2, window.suffix(), window.login()};
        return false;
    });
    if (missingSelection) {
        handler.step(376, [&] {
            dialogs.message(QStringLiteral("Please select a table and field from each database."));
        });
        return;
    }
    // Another program on the same folder would replace the staging tables
    // under this run. A run may take hours, so the lock counts as stale only
    // once the program that took it is gone. A lock that cannot be made for
    // any other reason leaves the staging file's own failure to be reported.
    stagingLock.setStaleLockTime(0);
    const bool locked = stagingLock.tryLock();
    if (!locked && stagingLock.error() == QLockFile::LockFailedError) {
        dialogs.message(QStringLiteral("Another join is using ") + path +
                        QStringLiteral(". Please try again when it has finished."));
        return;
    }
    // QLockFile takes no mode; the lock sits beside the staging file and is
    // its owner's alone, as that file is.
    if (locked) NarrowToOwner(path + QStringLiteral(".lock"));
    RunSummary summary;
    summary.table1 = choice.table1;
    summary.table2 = choice.table2;
    summary.startClock();
    // Staged rows are counted by the writing; an earlier end leaves them unknown.
    auto logSummary = qScopeGuard([&] { summary.log(); });
    const auto endRun = [&] {
        handler.step(374, [&] { window.pointer().setPointerState(PointerState::Default); });
    };

    handler.step(122, [&] { window.pointer().setPointerState(PointerState::Hourglass); });
    // Each step up to the join query needs the one before: after a failure
    // the join would read what an earlier run left, so the run ends there.
    const bool copied =
        StepSucceeded(handler, 124,
                      [&] {
                          summary.copied1 = CopyOracleTable(
                              choice.login, choice.table1, QStringLiteral("Table1"), path, context);
                      }) &&
        StepSucceeded(handler, 126, [&] {
            summary.copied2 = CopyOracleTable(choice.login, choice.table2, QStringLiteral("Table2"),
                                              path, context);
        });
    summary.lap(RunSummary::Copy);
    if (!copied ||
        !StepSucceeded(
            handler, 128,
            [&] { MakeColumnVarchar(QStringLiteral("Table1"), choice.field1, path, &context); }) ||
        !StepSucceeded(
            handler, 130,
            [&] { MakeColumnVarchar(QStringLiteral("Table2"), choice.field2, path, &context); }) ||
        !StepSucceeded(handler, 134,
                       [&] { staging.emplace(OpenStagingDatabase(path, &context)); })) {
        summary.lap(RunSummary::Join);
        return endRun();
    }
    QString joinSql;
    handler.step(136, [&] {
        joinSql = FullOuterJoinSql(QStringLiteral("Table1"), choice.field1,
                                   QStringLiteral("Table2"), choice.field2);
    });
    // The join is opened and its first row read, so a join that cannot run
    // ends the run before the name is asked for; its rows are staged later,
    // a stretch at a time, and nothing holds the staging file meanwhile.
    if (!StepSucceeded(handler, 138, [&] {
            db::ResultSet join = staging->query(joinSql);
            joinColumns = join.fieldNames();
            join.next();
        })) {
        summary.lap(RunSummary::Join);
        return endRun();
    }
    summary.lap(RunSummary::Join);
    handler.step(140, [&] {
        const auto answer = dialogs.prompt(QStringLiteral("Enter name of new table: "));
        newTable = answer.value_or(QString());
    });
    summary.newTable = newTable;
    // The user's answer is no phase of the run.
    summary.startClock();
    // An empty answer, or a cancelled prompt, ends the run.
    if (handler.test(142, [&] { return newTable.isEmpty(); })) return endRun();
    // A lone surrogate cannot go into the staging file or to the server as
    // it is: the table would land under another name than the lists show.
    if (!newTable.isValidUtf16()) {
        dialogs.message(QStringLiteral("The table name is not valid text."));
        return endRun();
    }
    // A new table named like a copy would replace the copy the join reads:
    // the result is staged under a name of its own and takes the copy's
    // place once it is whole.
    const bool replacesACopy =
        ArrayContains({QStringLiteral("Table1"), QStringLiteral("Table2")}, newTable);
    const QString stagedName = replacesACopy ? newTable + QStringLiteral(" (joined)") : newTable;
    if (handler.test(144, [&] { return StagingTableExists(path, stagedName); }))
        handler.step(146, [&] { DropStagingTable(stagedName, path); });

    QStringList columns;
    handler.step(148, [&] { columns = ResultColumnNames(joinColumns, choice.suffix); });
    // Statements run at line 252, the CREATE TABLE first. A staged result
    // that is not whole must not become the Oracle table: any failure here
    // ends the run. Nulls stay Nulls and every text stays itself.
    if (!StepSucceeded(handler, 252, [&] {
            staging->execute(CreateTableStatement(NameQuoting::Staging, stagedName, columns,
                                                  QStringLiteral("TEXT")));
            StageFullOuterJoin(*staging, stagedName, choice.field1, choice.field2, context);
            if (replacesACopy) {
                staging->execute(QStringLiteral("DROP TABLE ") + StagingName(newTable));
                staging->execute(QStringLiteral("ALTER TABLE ") + StagingName(stagedName) +
                                 QStringLiteral(" RENAME TO ") + StagingName(newTable));
            }
        })) {
        summary.lap(RunSummary::Stage);
        return endRun();
    }
    handler.step(256, [&] { staging.reset(); });
    summary.lap(RunSummary::Stage);
    const WrittenRows rows =
        WriteResultTable(handler, window, dialogs, context, choice, newTable, path);
    summary.lap(RunSummary::Write);
    summary.staged = rows.staged;
    summary.written = rows.written;
    endRun();
    // Before the box below, which may stay open long.
    logSummary.dismiss();
    summary.log();
    if (rows.missing() > 0 && !handler.abandoned())
        dialogs.message(
            QStringLiteral("%1 of %2 rows could not be written to %3.")
                .arg(QString::number(rows.missing()), QString::number(rows.staged), newTable),
            QString(), Dialogs::Icon::Information);
}
