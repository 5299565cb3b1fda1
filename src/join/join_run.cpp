#include "join/join_run.h"

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

// The result's column names: prefixes stripped, a name already taken (case
// ignored) given the suffix once.
QStringList resultColumnNames(const db::ResultSet& join, const QString& suffix) {
    QStringList names;
    for (int i = 0; i < join.fieldCount(); ++i) {
        const QString name = StripTablePrefix(join.fieldName(i));
        names << (ArrayContains(names, name) ? name + suffix : name);
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
    handler.step(122, [&] { window.pointer().setPointerState(PointerState::Hourglass); });
    handler.step(124, [&] {
        CopyOracleTable(choice.login, choice.table1, QStringLiteral("Table1"), path, context);
    });
    handler.step(126, [&] {
        CopyOracleTable(choice.login, choice.table2, QStringLiteral("Table2"), path, context);
    });
    handler.step(128, [&] { MakeColumnVarchar(QStringLiteral("Table1"), choice.field1, path); });
    handler.step(130, [&] { MakeColumnVarchar(QStringLiteral("Table2"), choice.field2, path); });
    handler.step(134, [&] {
        joinConnection.emplace(OpenStagingDatabase(path));
        stagingWriter.emplace(OpenStagingDatabase(path));
    });
    QString joinSql;
    handler.step(136, [&] {
        joinSql = FullOuterJoinSql(QStringLiteral("Table1"), choice.field1,
                                   QStringLiteral("Table2"), choice.field2);
    });
    handler.step(138, [&] {
        if (!joinConnection) throw Failure(QStringLiteral("The staging database is not open."));
        join.emplace(joinConnection->query(joinSql));
        // Reading the first row fixes what the join sees, so replacing a
        // staged table of the new name (even Table1 or Table2) cannot change
        // the rows still to come.
        joinHasRow = join->next();
    });
    handler.step(140, [&] {
        const auto answer = dialogs.prompt(QStringLiteral("Enter name of new table: "));
        newTable = answer.value_or(QString());
    });
    // An empty answer, or a cancelled prompt, ends the run.
    if (handler.test(142, [&] { return newTable.isEmpty(); })) {
        handler.step(374, [&] { window.pointer().setPointerState(PointerState::Default); });
        return;
    }
    if (handler.test(144, [&] { return StagingTableExists(path, newTable); }))
        handler.step(146, [&] { DropStagingTable(newTable, path); });

    // Without a join result there are no columns and no rows to go through.
    QStringList columns;
    handler.step(148, [&] {
        if (join) columns = resultColumnNames(*join, choice.suffix);
    });
    // Statements run at line 252, the CREATE TABLE first.
    handler.step(252, [&] {
        if (!stagingWriter) throw Failure(QStringLiteral("The staging database is not open."));
        stagingWriter->execute(
            CreateTableStatement(NameQuoting::Staging, newTable, columns, QStringLiteral("TEXT")));
    });
    // Rows are staged as they are read: nothing of the result is held beyond one row.
    handler.step(178, [&] {
        if (!join || !stagingWriter) return;
        LoopFailures reads(handler, 196, LoopFailures::Ends::OnAnyFailure);
        LoopFailures writes(handler, 252, LoopFailures::Ends::OnBrokenConnection);
        bool more = joinHasRow;
        while (more) {
            context.yield();
            // A Null stays a Null and every text stays itself.
            const QString insert =
                InsertStatement(NameQuoting::Staging, newTable, join->row(), EmptyText::AsText);
            if (!writes.run([&] { stagingWriter->execute(insert); })) break;
            if (!reads.run([&] { more = join->next(); })) break;
        }
    });
    handler.step(256, [&] {
        join.reset();
        joinConnection.reset();
        stagingWriter.reset();
    });
    WriteResultTable(handler, window, dialogs, context, choice, newTable, path);
    handler.step(374, [&] { window.pointer().setPointerState(PointerState::Default); });
}
