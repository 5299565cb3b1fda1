#include "join/write_result_table.h"

#include <QElapsedTimer>
#include <algorithm>
#include <optional>

#include "base/dialogs.h"
#include "base/doubling_batch.h"
#include "base/failure.h"
#include "base/pointer_state.h"
#include "base/run_context.h"
#include "base/trapped_handler.h"
#include "db/connection.h"
#include "db/create_table_statement.h"
#include "db/insert_statement.h"
#include "db/quoted_names.h"
#include "join/join_lines.h"
#include "join/join_window.h"
#include "join/list_contains.h"
#include "join/loop_failures.h"
#include "join/open_staging_database.h"
#include "join/remove_list_entry.h"
#include "join/step_succeeded.h"
#include "oracle/oracle_connection_string.h"

namespace {

enum class Answer { None, Yes, No };

// Rows go to the server in batches, each one exchange and one commit. The
// first row goes alone, so a table of a few rows goes much as row by row;
// batches then double while the server takes them quickly, toward arrays
// large enough for the driver's own batching, and halve when one is slow,
// so that no call keeps the window waiting 100 ms. A batch of one row is
// sent by a statement of its own (see the data layer), so it costs the
// others nothing.
constexpr DoublingBatch::Bounds WriteBatches{2, 1, 1024, 40, 80};
// The text a batch holds in memory, besides its last row.
constexpr qint64 MaxBatchCharacters = 4 * 1024 * 1024;

// After a failure the transaction is undone; on a lost connection there is
// nothing left to undo, and the failure that says so is already reported.
void rollbackQuietly(db::Connection& connection) {
    try {
        connection.rollback();
    } catch (const Failure&) {
    }
}

void removeEntries(JoinWindow& window, JoinWindow::TableList list, const QString& name) {
    QStringList entries = window.tableListEntries(list);
    for (int index : RemoveListEntry(entries, name)) window.removeTableListEntry(list, index);
}

// One write of a result table; its phases are the routines below, in the
// order of their lines.
class ResultTableWriter final {
public:
    ResultTableWriter(TrappedHandler& handler, JoinWindow& window, Dialogs& dialogs,
                      RunContext& context, const JoinChoice& choice, const QString& newTable,
                      const QString& stagingPath, WrittenRows& rows)
        : m_handler(handler),
          m_window(window),
          m_dialogs(dialogs),
          m_context(context),
          m_choice(choice),
          m_newTable(newTable),
          m_stagingPath(stagingPath),
          m_rows(rows) {}

    void run() {
        writeTable();
        m_handler.step(JoinLine::RestorePointerAfterWriting,
                       [&] { m_window.pointer().setPointerState(PointerState::Default); });
        m_handler.step(JoinLine::CloseStagingForReading, [&] { m_staging.reset(); });
        m_handler.step(JoinLine::CloseOracle, [&] { m_oracle.reset(); });
    }

private:
    // From opening the connections to listing the table; a return goes on
    // at RestorePointerAfterWriting.
    void writeTable() {
        if (!openConnections() || !settleOverwrite() || !createTable()) return;
        countStagedRows();
        m_rows.staged = m_rowCount;
        qint64 tried = 0;
        m_handler.step(JoinLine::SendRows, [&] { tried = sendRows(); });
        // Rows never tried (a lost connection, a failed read) are missing too.
        m_rows.staged = std::max(m_rowCount, tried);
        m_handler.step(JoinLine::ResetProgress, [&] { m_context.setProgress(0); });
        m_handler.step(JoinLine::CloseStagedRows, [&] { m_reader.reset(); });
        m_handler.step(JoinLine::AddToList1, [&] { m_window.addTableListEntry(First, m_name); });
        m_handler.step(JoinLine::AddToList3, [&] { m_window.addTableListEntry(Second, m_name); });
    }

    // The client-side cursors asked for before OpenOracle have nothing to
    // set: rows are streamed whatever the location. Without either connection nothing
    // below could work: no question, no drop.
    bool openConnections() {
        return StepSucceeded(m_handler, JoinLine::OpenOracle,
                             [&] {
                                 m_oracle.emplace();
                                 m_oracle->setRunContext(&m_context);
                                 m_oracle->open(OracleConnectionString(m_choice.login));
                             }) &&
               // Server-side cursors, asked for before this, are what every staging
               // read is.
               StepSucceeded(m_handler, JoinLine::OpenStagingForReading, [&] {
                   m_staging.emplace(OpenStagingDatabase(m_stagingPath, &m_context));
               });
    }

    // From TakeTableName to RemoveFromList3; false when the user keeps the
    // listed table.
    bool settleOverwrite() {
        m_handler.step(JoinLine::TakeTableName, [&] { m_name = m_newTable; });
        Answer answer = Answer::None;
        if (m_handler.test(JoinLine::TestTableListed,
                           [&] { return ListContains(m_window.tableListEntries(First), m_name); }))
            m_handler.step(JoinLine::AskOverwrite, [&] {
                answer = m_dialogs.askYesNo(QStringLiteral("Would you like to overwrite ") +
                                                m_name + QLatin1Char('?'),
                                            QStringLiteral("Overwrite?"))
                             ? Answer::Yes
                             : Answer::No;
            });
        if (m_handler.test(JoinLine::TestAnswerNo, [&] { return answer == Answer::No; }))
            return false;
        if (m_handler.test(JoinLine::TestAnswerYes, [&] { return answer == Answer::Yes; })) {
            // The lists keep a table that is still there.
            if (StepSucceeded(m_handler, JoinLine::DropOracleTable, [&] {
                    m_oracle->execute(QStringLiteral("DROP TABLE ") + OracleName(m_name));
                })) {
                m_handler.step(JoinLine::RemoveFromList1,
                               [&] { removeEntries(m_window, First, m_name); });
                m_handler.step(JoinLine::RemoveFromList3,
                               [&] { removeEntries(m_window, Second, m_name); });
            }
        }
        return true;
    }

    // From OpenStagedRows to CreateOracleTable; false when the table could
    // not be made.
    bool createTable() {
        if (!StepSucceeded(m_handler, JoinLine::OpenStagedRows, [&] {
                m_reader.emplace(
                    m_staging->query(QStringLiteral("SELECT * FROM ") + StagingName(m_name)));
            }))
            return false;
        QString create;
        m_handler.step(JoinLine::BuildCreateTable, [&] {
            QStringList columns;
            for (int i = 0; i < m_reader->fieldCount(); ++i) {
                m_context.yield();
                columns << m_reader->fieldName(i);
            }
            create = CreateTableStatement(NameQuoting::Oracle, m_name, columns,
                                          QStringLiteral("VARCHAR(2000)"));
        });
        // A table that could not be made is not ours: a table or view of that
        // name that the user did not choose to replace gets no row and is not
        // listed.
        return StepSucceeded(m_handler, JoinLine::CreateOracleTable,
                             [&] { m_oracle->execute(create); });
    }

    // The bar needs the number of rows before they are streamed.
    // A bare count(*) is one step of SQLite's machine that serves no window
    // however many rows it counts; with a WHERE it is a loop that does.
    void countStagedRows() {
        m_handler.step(JoinLine::CountStagedRows, [&] {
            db::ResultSet count =
                m_staging->query(QStringLiteral("SELECT COUNT(*) FROM ") + StagingName(m_name) +
                                 QStringLiteral(" WHERE 1"));
            if (count.next())
                m_rowCount = count.value(0).value_or(QStringLiteral("0")).toLongLong();
        });
    }

    // The rows' loop, InsertRow and ReadNextRow inside it; the number of
    // rows tried.
    qint64 sendRows() {
        LoopFailures reads(m_handler, JoinLine::ReadNextRow, LoopFailures::Ends::OnAnyFailure);
        LoopFailures writes(m_handler, JoinLine::InsertRow, LoopFailures::Ends::OnBrokenConnection);
        // One prepared INSERT; an empty value and a Null both go to Oracle as NULL.
        db::PreparedStatement insert =
            m_oracle->prepare(InsertStatement(NameQuoting::Oracle, m_name, m_reader->fieldCount()));
        DoublingBatch batches(WriteBatches);
        std::vector<db::Row> batch;
        qint64 tried = 0;
        for (bool more = true; more;) {
            more = readBatch(batch, qint64(batches.rows()), reads);
            if (batch.empty()) break;
            const qint64 first = tried;
            tried += qint64(batch.size());
            if (sendBatch(insert, batch, first, batches)) continue;
            batches.failed();
            const qint64 sent = sendSingly(insert, batch, first, writes);
            // Rows after a lost connection were never tried.
            if (sent < qint64(batch.size())) return first + sent + 1;
        }
        return tried;
    }

    // The next rows from the staged table, as many as the batch takes; false
    // once the rows are at an end (or could not be read).
    bool readBatch(std::vector<db::Row>& batch, qint64 rows, LoopFailures& reads) {
        batch.clear();
        qint64 characters = 0;
        while (qint64(batch.size()) < rows && characters < MaxBatchCharacters) {
            m_context.yield();
            bool more = false;
            if (!reads.run([&] { more = m_reader->next(); }) || !more) return false;
            batch.push_back(InsertValues(m_reader->row(), EmptyText::AsNull));
            for (const db::Value& value : batch.back())
                if (value) characters += value->size();
        }
        return true;
    }

    // The whole batch in one exchange with the server, committed; false when
    // some row of it failed, or the connection did: then no row of it counts
    // as written, and it is undone.
    // The next batch is sized by the longer of its two calls, the window
    // being served between them.
    bool sendBatch(db::PreparedStatement& insert, const std::vector<db::Row>& batch, qint64 first,
                   DoublingBatch& batches) {
        try {
            QElapsedTimer took;
            took.start();
            m_oracle->beginTransaction();
            insert.executeBatch(batch);
            const qint64 executeMs = took.restart();
            m_context.yield();
            took.restart();
            m_oracle->commit();
            batches.took(std::max(executeMs, took.elapsed()));
        } catch (const Failure&) {
            rollbackQuietly(*m_oracle);
            return false;
        }
        m_rows.written += qint64(batch.size());
        for (qint64 j = first; j < first + qint64(batch.size()); ++j) showRow(j);
        return true;
    }

    // Each row of a failed batch gets an attempt of its own, so a failing
    // row costs only itself; the rows tried, fewer than all when the
    // connection was lost.
    qint64 sendSingly(db::PreparedStatement& insert, const std::vector<db::Row>& batch,
                      qint64 first, LoopFailures& writes) {
        for (std::size_t i = 0; i < batch.size(); ++i) {
            m_context.yield();
            showRow(first + qint64(i));
            const bool goOn = writes.run([&] {
                try {
                    m_oracle->beginTransaction();
                    insert.execute(batch[i]);
                    m_oracle->commit();
                } catch (...) {
                    rollbackQuietly(*m_oracle);
                    throw;
                }
                ++m_rows.written;
            });
            if (!goOn) return qint64(i);
        }
        return qint64(batch.size());
    }

    // The bar shows (j + 1) / N of the way once row j is on its way.
    void showRow(qint64 j) {
        if (m_rowCount > 0)
            m_context.setProgress(
                int(std::min(100.0, double(j + 1) / double(m_rowCount) * 100.0) + 0.5));
    }

    static constexpr auto First = JoinWindow::TableList::First;
    static constexpr auto Second = JoinWindow::TableList::Second;

    TrappedHandler& m_handler;
    JoinWindow& m_window;
    Dialogs& m_dialogs;
    RunContext& m_context;
    const JoinChoice& m_choice;
    const QString& m_newTable;
    const QString& m_stagingPath;

    std::optional<db::Connection> m_oracle;
    std::optional<db::Connection> m_staging;  // staging connection B
    std::optional<db::ResultSet> m_reader;
    QString m_name;
    qint64 m_rowCount = 0;
    WrittenRows& m_rows;
};

}  // namespace

void WriteResultTable(TrappedHandler& handler, JoinWindow& window, Dialogs& dialogs,
                      RunContext& context, const JoinChoice& choice, const QString& newTable,
                      const QString& stagingPath, WrittenRows& rows) {
    ResultTableWriter(handler, window, dialogs, context, choice, newTable, stagingPath, rows).run();
}
