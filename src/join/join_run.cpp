#include "join/join_run.h"

#include <QLockFile>
#include <optional>

#include "base/dialogs.h"
#include "base/error_message.h"
#include "base/failure.h"
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
#include "join/staging_database_path.h"
#include "join/staging_table_exists.h"
#include "join/step_succeeded.h"
#include "join/strip_table_prefix.h"
#include "join/write_result_table.h"

namespace {

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

// The result's column names: prefixes stripped, and every name unique (case
// ignored), or neither table could be made. A taken name gets the suffix
// again until it is free; without a suffix, the first free number.
QStringList resultColumnNames(const db::ResultSet& join, const QString& suffix) {
    QStringList names;
    for (int i = 0; i < join.fieldCount(); ++i) {
        const QString column = StripTablePrefix(join.fieldName(i));
        QString name = column;
        for (int n = 1; ArrayContains(names, name); ++n)
            name = suffix.isEmpty() ? column + QString::number(n) : name + suffix;
        names << name;
    }
    return names;
}

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
    std::optional<db::Connection> joinConnection;  // staging connection A: reads the join
    std::optional<db::Connection> stagingWriter;   // writes the staged result beside it
    std::optional<db::ResultSet> join;
    bool joinHasRow = false;
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
    if (!stagingLock.tryLock() && stagingLock.error() == QLockFile::LockFailedError) {
        dialogs.message(QStringLiteral("Another join is using ") + path +
                        QStringLiteral(". Please try again when it has finished."));
        return;
    }
    const auto endRun = [&] {
        handler.step(374, [&] { window.pointer().setPointerState(PointerState::Default); });
    };

    handler.step(122, [&] { window.pointer().setPointerState(PointerState::Hourglass); });
    // Each step up to the join query needs the one before: after a failure
    // the join would read what an earlier run left, so the run ends there.
    if (!StepSucceeded(handler, 124,
                       [&] {
                           CopyOracleTable(choice.login, choice.table1, QStringLiteral("Table1"),
                                           path, context);
                       }) ||
        !StepSucceeded(handler, 126,
                       [&] {
                           CopyOracleTable(choice.login, choice.table2, QStringLiteral("Table2"),
                                           path, context);
                       }) ||
        !StepSucceeded(handler, 128,
                       [&] { MakeColumnVarchar(QStringLiteral("Table1"), choice.field1, path); }) ||
        !StepSucceeded(handler, 130,
                       [&] { MakeColumnVarchar(QStringLiteral("Table2"), choice.field2, path); }) ||
        !StepSucceeded(handler, 134, [&] {
            joinConnection.emplace(OpenStagingDatabase(path));
            stagingWriter.emplace(OpenStagingDatabase(path));
        }))
        return endRun();
    QString joinSql;
    handler.step(136, [&] {
        joinSql = FullOuterJoinSql(QStringLiteral("Table1"), choice.field1,
                                   QStringLiteral("Table2"), choice.field2);
    });
    if (!StepSucceeded(handler, 138, [&] {
            join.emplace(joinConnection->query(joinSql));
            // Reading the first row fixes what the join sees, so replacing a
            // staged table of the new name (even Table1 or Table2) cannot
            // change the rows still to come.
            joinHasRow = join->next();
        }))
        return endRun();
    handler.step(140, [&] {
        const auto answer = dialogs.prompt(QStringLiteral("Enter name of new table: "));
        newTable = answer.value_or(QString());
    });
    // An empty answer, or a cancelled prompt, ends the run.
    if (handler.test(142, [&] { return newTable.isEmpty(); })) return endRun();
    if (handler.test(144, [&] { return StagingTableExists(path, newTable); }))
        handler.step(146, [&] { DropStagingTable(newTable, path); });

    QStringList columns;
    handler.step(148, [&] { columns = resultColumnNames(*join, choice.suffix); });
    // Statements run at line 252, the CREATE TABLE first. A staged result
    // that is not whole must not become the Oracle table: any failure here
    // ends the run.
    if (!StepSucceeded(handler, 252, [&] {
            stagingWriter->execute(CreateTableStatement(NameQuoting::Staging, newTable, columns,
                                                        QStringLiteral("TEXT")));
        }))
        return endRun();
    // Rows are staged as they are read: nothing of the result is held beyond one row.
    bool staged = false;
    handler.step(178, [&] {
        LoopFailures reads(handler, 196, LoopFailures::Ends::OnAnyFailure);
        LoopFailures writes(handler, 252, LoopFailures::Ends::OnAnyFailure);
        bool more = joinHasRow;
        while (more) {
            context.yield();
            // A Null stays a Null and every text stays itself.
            const QString insert =
                InsertStatement(NameQuoting::Staging, newTable, join->row(), EmptyText::AsText);
            if (!writes.run([&] { stagingWriter->execute(insert); })) return;
            if (!reads.run([&] { more = join->next(); })) return;
        }
        staged = true;
    });
    if (!staged) return endRun();
    handler.step(256, [&] {
        join.reset();
        joinConnection.reset();
        stagingWriter.reset();
    });
    const WrittenRows rows =
        WriteResultTable(handler, window, dialogs, context, choice, newTable, path);
    endRun();
    if (rows.missing() > 0 && !handler.abandoned())
        dialogs.message(
            QStringLiteral("%1 of %2 rows could not be written to %3.")
                .arg(QString::number(rows.missing()), QString::number(rows.staged), newTable),
            QString(), Dialogs::Icon::Information);
}
