#include "join/join_run.h"

#include <QElapsedTimer>
#include <QLockFile>
#include <QLoggingCategory>
#include <QScopeGuard>
#include <optional>

#include "base/dialogs.h"
#include "base/end_program_now.h"
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
#include "join/join_lines.h"
#include "join/join_summary.h"
#include "join/join_window.h"
#include "join/loop_failures.h"
#include "join/make_column_varchar.h"
#include "join/open_staging_database.h"
#include "join/result_column_names.h"
#include "join/server_limits.h"
#include "join/stage_full_outer_join.h"
#include "join/staging_copy_names.h"
#include "join/staging_database_path.h"
#include "join/staging_table_exists.h"
#include "join/step_succeeded.h"
#include "join/write_result_table.h"

namespace {

Q_LOGGING_CATEGORY(lcJoin, "quillmere.join", QtInfoMsg)

// What one run did, logged when it ends however it ends.
class RunSummary final {
public:
    using Phase = JoinSummary::Phase;

    explicit RunSummary(JoinSummary& counts) : m_counts(counts) {}

    JoinSummary& counts() { return m_counts; }

    // Adds the time since the last call to the phase.
    void lap(Phase phase) { m_counts.seconds[phase] += double(m_clock.restart()) / 1000.0; }
    void startClock() { m_clock.start(); }

    void log() const {
        const JoinSummary& s = m_counts;
        const auto count = [](qint64 n) {
            return n < 0 ? QStringLiteral("-") : QString::number(n);
        };
        const auto secs = [&](Phase phase) { return QString::number(s.seconds[phase], 'f', 3); };
        // One arg() call, so a "%" in a table name is never taken for a place.
        qCInfo(lcJoin).noquote()
            << QStringLiteral(
                   "join run: %1 with %2 into %3: rows copied %4 and %5, staged %6, "
                   "written %7, missing %8; ")
                       .arg(s.table1, s.table2,
                            s.newTable.isEmpty() ? QStringLiteral("-") : s.newTable,
                            count(s.copied1), count(s.copied2), count(s.staged), count(s.written),
                            count(s.missing())) +
                   QStringLiteral("seconds: copy ") + secs(JoinSummary::Copy) +
                   QStringLiteral(", join ") + secs(JoinSummary::Join) +
                   QStringLiteral(", stage ") + secs(JoinSummary::Stage) +
                   QStringLiteral(", write ") + secs(JoinSummary::Write);
    }

private:
    JoinSummary& m_counts;
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

// One click's run, a phase at a time. The members keep the order in which
// the run made them, so the staging connection closes before the lock is
// given up and the window is marked idle last.
class JoinRun final {
public:
    JoinRun(JoinWindow& window, Dialogs& dialogs, RunContext& context, const QString& programFolder,
            JoinRunResult& result)
        : m_result(result),
          m_window(window),
          m_dialogs(dialogs),
          m_context(context),
          m_handler(LocationText(QStringLiteral("Form2"), QStringLiteral("PushButton2_Click")),
                    dialogs, &context),
          m_programFolder(programFolder),
          m_summary(result.summary) {}

    // Logs the run's summary, once.
    void logSummary() {
        if (m_summaryLogged) return;
        m_summaryLogged = true;
        m_summary.log();
    }
    const QString& newTable() const { return m_newTable; }

    // Takes the four selections and the staging file's lock; false ends the
    // run before anything is logged.
    bool selectAndLock() {
        const bool missingSelection = m_handler.test(JoinLine::CheckSelections, [&] {
            const auto table1 = m_window.selectedTable1();
            const auto field1 = m_window.selectedField1();
            const auto table2 = m_window.selectedTable2();
            const auto field2 = m_window.selectedField2();
            if (!table1 || !field1 || !table2 || !field2) return true;
            m_choice = {*table1, *field1, *table2, *field2, m_window.suffix(), m_window.login()};
            return false;
        });
        if (missingSelection) {
            m_handler.step(JoinLine::ShowSelectionMessage, [&] {
                m_dialogs.message(
                    QStringLiteral("Please select a table and field from each database."));
            });
            return false;
        }
        // A staging folder that cannot be used safely (no home, a planted
        // link), or a lock that cannot be made, is the first staging step's
        // failure: the run never touches the staging file unlocked.
        try {
            m_path = StagingDatabasePath(m_programFolder);
            if (!lockStaging()) return false;
        } catch (...) {
            m_stagingUnusable = std::current_exception();
        }
        m_result.ending = JoinRunResult::Ending::Ran;
        m_summary.counts().table1 = m_choice.table1;
        m_summary.counts().table2 = m_choice.table2;
        m_summary.startClock();
        return true;
    }

    // Another program on the same folder would replace the staging tables
    // under this run. A run may take hours, so the lock counts as stale only
    // once the program that took it is gone. False when another join holds
    // it; throws when it cannot be made at all.
    bool lockStaging() {
        const QString lockPath = m_path + QStringLiteral(".lock");
        m_stagingLock.emplace(lockPath);
        m_stagingLock->setStaleLockTime(0);
        if (m_stagingLock->tryLock()) {
            // QLockFile takes no mode; the lock sits beside the staging file
            // and is its owner's alone, as that file is.
            NarrowToOwner(lockPath);
            return true;
        }
        if (m_stagingLock->error() == QLockFile::LockFailedError) {
            m_result.ending = JoinRunResult::Ending::StagingBusy;
            m_dialogs.message(QStringLiteral("Another join is using ") + m_path +
                              QStringLiteral(". Please try again when it has finished."));
            return false;
        }
        throw Failure(QStringLiteral("The staging file cannot be locked: ") + lockPath +
                      (m_stagingLock->error() == QLockFile::PermissionError
                           ? QStringLiteral(" could not be made (permission denied).")
                           : QStringLiteral(" could not be made.")));
    }

    void endRun() {
        m_handler.step(JoinLine::RestorePointer,
                       [&] { m_window.pointer().setPointerState(PointerState::Default); });
    }

    // Copies both tables into the staging file; false if either copy failed.
    bool copyTables() {
        m_handler.step(JoinLine::ShowHourglass,
                       [&] { m_window.pointer().setPointerState(PointerState::Hourglass); });
        // An overwrite that an earlier run left half-done is settled before
        // this run reads or names any table.
        SettleInterruptedOverwrites(m_choice.login, m_path, &m_context);
        // Each step up to the join query needs the one before: after a failure
        // the join would read what an earlier run left, so the run ends there.
        const bool copied =
            StepSucceeded(m_handler, JoinLine::CopyTable1,
                          [&] {
                              if (m_stagingUnusable) std::rethrow_exception(m_stagingUnusable);
                              // A join the server could not take as a table
                              // is refused before anything is copied.
                              m_limits = CheckJoinWithinServerLimits(m_choice, m_context);
                              m_summary.counts().copied1 =
                                  CopyOracleTable(m_choice.login, m_choice.table1, StagingCopy1(),
                                                  m_path, m_context);
                          }) &&
            StepSucceeded(m_handler, JoinLine::CopyTable2, [&] {
                m_summary.counts().copied2 = CopyOracleTable(m_choice.login, m_choice.table2,
                                                             StagingCopy2(), m_path, m_context);
            });
        m_summary.lap(JoinSummary::Copy);
        return copied;
    }

    // Makes the join fields text, opens the staging file and the join; false
    // ends the run.
    bool openJoin(bool copied) {
        if (!copied ||
            !StepSucceeded(
                m_handler, JoinLine::MakeField1Text,
                [&] { MakeColumnVarchar(StagingCopy1(), m_choice.field1, m_path, &m_context); }) ||
            !StepSucceeded(
                m_handler, JoinLine::MakeField2Text,
                [&] { MakeColumnVarchar(StagingCopy2(), m_choice.field2, m_path, &m_context); }) ||
            !StepSucceeded(m_handler, JoinLine::OpenStaging,
                           [&] { m_staging.emplace(OpenStagingDatabase(m_path, &m_context)); })) {
            m_summary.lap(JoinSummary::Join);
            return false;
        }
        QString joinSql;
        m_handler.step(JoinLine::BuildJoinQuery, [&] {
            joinSql =
                FullOuterJoinSql(StagingCopy1(), m_choice.field1, StagingCopy2(), m_choice.field2);
        });
        // The join is opened and its first row read, so a join that cannot run
        // ends the run before the name is asked for; its rows are staged later,
        // a stretch at a time, and nothing holds the staging file meanwhile.
        const bool opened = StepSucceeded(m_handler, JoinLine::OpenJoin, [&] {
            db::ResultSet join = m_staging->query(joinSql);
            m_joinColumns = join.fieldNames();
            join.next();
        });
        m_summary.lap(JoinSummary::Join);
        return opened;
    }

    // Asks for the new table's name and clears the staged name; false ends
    // the run.
    bool askName() {
        m_handler.step(JoinLine::AskTableName, [&] {
            const auto answer = m_dialogs.prompt(QStringLiteral("Enter name of new table: "));
            m_newTable = answer.value_or(QString());
        });
        m_summary.counts().newTable = m_newTable;
        // The user's answer is no phase of the run.
        m_summary.startClock();
        // An empty answer, or a cancelled prompt, ends the run.
        if (m_handler.test(JoinLine::TestNameEmpty, [&] { return m_newTable.isEmpty(); }))
            return false;
        // A lone surrogate cannot go into the staging file or to the server as
        // it is: the table would land under another name than the lists show.
        if (!m_newTable.isValidUtf16()) {
            m_dialogs.message(QStringLiteral("The table name is not valid text."));
            return false;
        }
        // A name the server would refuse ends the run here, before the
        // overwrite question and before anything is staged under it.
        if (!StepSucceeded(m_handler, JoinLine::AskTableName,
                           [&] { CheckTableNameWithinServerLimits(m_limits, m_newTable); }))
            return false;
        // A new table named like a copy would replace the copy the join reads:
        // the result is staged under a name of its own and takes the copy's
        // place once it is whole.
        m_replacesACopy = ArrayContains({StagingCopy1(), StagingCopy2()}, m_newTable);
        m_stagedName = m_replacesACopy ? m_newTable + QStringLiteral(" (joined)") : m_newTable;
        if (m_handler.test(JoinLine::TestStagedTableExists,
                           [&] { return StagingTableExists(m_path, m_stagedName); }))
            m_handler.step(JoinLine::DropStagedTable,
                           [&] { DropStagingTable(m_stagedName, m_path); });
        return true;
    }

    // Stages the join's rows as the result table; false ends the run.
    bool stage() {
        QStringList columns;
        m_handler.step(JoinLine::NameResultColumns,
                       [&] { columns = ResultColumnNames(m_joinColumns, m_choice.suffix); });
        // The statements run as one line, the CREATE TABLE first. A staged
        // result that is not whole must not become the Oracle table: any failure here
        // ends the run. Nulls stay Nulls and every text stays itself.
        if (!StepSucceeded(m_handler, JoinLine::StageResult, [&] {
                m_staging->execute(CreateTableStatement(NameQuoting::Staging, m_stagedName, columns,
                                                        QStringLiteral("TEXT")));
                StageFullOuterJoin(*m_staging, m_stagedName, m_choice.field1, m_choice.field2,
                                   m_context);
                if (m_replacesACopy) {
                    m_staging->execute(QStringLiteral("DROP TABLE ") + StagingName(m_newTable));
                    m_staging->execute(QStringLiteral("ALTER TABLE ") + StagingName(m_stagedName) +
                                       QStringLiteral(" RENAME TO ") + StagingName(m_newTable));
                }
            })) {
            m_summary.lap(JoinSummary::Stage);
            return false;
        }
        m_handler.step(JoinLine::CloseStaging, [&] { m_staging.reset(); });
        m_summary.lap(JoinSummary::Stage);
        return true;
    }

    // Writes the staged result to Oracle.
    WrittenRows write() {
        m_writing = true;
        WriteResultTable(m_handler, m_window, m_dialogs, m_context, m_choice, m_newTable, m_path,
                         m_rows);
        m_summary.lap(JoinSummary::Write);
        countWritten();
        return m_rows;
    }

    // Tells of staged rows the writing could not place, once rows were
    // sent: a table that could not be made has had its error box.
    void reportMissing(const WrittenRows& rows) {
        if (rows.sent && rows.missing() > 0 && !m_handler.abandoned())
            m_dialogs.message(
                QStringLiteral("%1 of %2 rows could not be written to %3.")
                    .arg(QString::number(rows.missing()), QString::number(rows.staged), m_newTable),
                QString(), Dialogs::Icon::Information, rows.oldTableKept);
    }

private:
    void countWritten() {
        m_summary.counts().staged = m_rows.staged;
        m_summary.counts().written = m_rows.written;
        m_summary.counts().oldTableKept = m_rows.oldTableKept;
    }

    // The program ends under a call to the server that has not returned, and
    // no destructor runs: the rows written so far are logged and the lock is
    // given up. The staging file is left as it is: its journal undoes what
    // was not committed when it is next opened.
    void endCutShort() {
        if (!m_stagingLock || !m_stagingLock->isLocked()) return;
        if (m_writing) {
            m_summary.lap(JoinSummary::Write);
            WritingCutShort(m_rows);
            countWritten();
        }
        logSummary();
        m_stagingLock->unlock();
    }

    JoinRunResult& m_result;
    JoinWindow& m_window;
    Dialogs& m_dialogs;
    RunContext& m_context;
    TrappedHandler m_handler;
    const QString m_programFolder;
    QString m_path;
    // Why the staging file cannot be used, for the first step that would use it.
    std::exception_ptr m_stagingUnusable;
    JoinChoice m_choice;
    // Made before the connection, so it is given up after the connection closes.
    std::optional<QLockFile> m_stagingLock;
    // The run's first lines create its objects; here they come into being
    // where they are opened.
    std::optional<db::Connection> m_staging;  // staging connection A
    // What the server takes, as its driver told before the copy.
    db::ServerLimits m_limits;
    QStringList m_joinColumns;
    QString m_newTable;
    QString m_stagedName;
    bool m_replacesACopy = false;
    RunSummary m_summary;
    bool m_summaryLogged = false;
    WrittenRows m_rows;
    bool m_writing = false;
    // Last, so it is gone before anything it uses.
    LastWords m_lastWords{[this] { endCutShort(); }};
};

}  // namespace

void PushButton2_Click(JoinWindow& window, Dialogs& dialogs, RunContext& context,
                       const QString& programFolder, JoinRunResult* result) {
    // One run at a time: a click while a run yields starts nothing.
    if (window.joinRunning()) return;
    RunningMark running(window);
    JoinRunResult ownResult;
    if (!result) result = &ownResult;
    *result = JoinRunResult();
    JoinRun run(window, dialogs, context, programFolder, *result);
    if (!run.selectAndLock()) return;
    // Staged rows are counted by the writing; an earlier end leaves them unknown.
    auto logSummary = qScopeGuard([&] { run.logSummary(); });

    const bool copied = run.copyTables();
    if (!run.openJoin(copied)) return run.endRun();
    if (!run.askName()) return run.endRun();
    if (!run.stage()) return run.endRun();
    const WrittenRows rows = run.write();
    run.endRun();
    // Before the box below, which may stay open long.
    run.logSummary();
    run.reportMissing(rows);
}
