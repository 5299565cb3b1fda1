#include "join/write_result_table.h"

#include <algorithm>
#include <exception>
#include <limits>
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

// Rows go to the server in batches, each one exchange and one commit; while
// the window is served, a batch goes on a thread of its own as the next one
// is read (see sendRows). The first row
// goes alone, so a table of a few rows goes much as row by row; batches then
// double toward arrays large enough for the driver's own batching, and stay
// there whatever the calls cost: a slow call no longer freezes the window.
// A failed batch goes again row by row, and halves the next one, which
// doubles back after each batch that went through. A batch of one row is
// sent by a statement of its own (see the data layer), so it costs the
// others nothing.
constexpr qint64 Unbounded = std::numeric_limits<qint64>::max();
constexpr DoublingBatch::Bounds WriteBatches{1, 1, 1024, Unbounded, Unbounded};
// The text a batch holds in memory, besides its last row.
constexpr qint64 MaxBatchCharacters = 4 * 1024 * 1024;

// Oracle counts a VARCHAR column's size in bytes unless the session says
// characters: VARCHAR(2000) would refuse 700 Chinese characters (2,100
// bytes). The session counts characters, so the columns hold what their type
// says; values over Oracle's 4,000-byte cap are refused all the same.
void countCharactersOnOracle(db::Connection& oracle) {
    if (oracle.dbmsName() == QStringLiteral("Oracle"))
        oracle.execute(QStringLiteral("ALTER SESSION SET NLS_LENGTH_SEMANTICS = CHAR"));
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
        if (!openConnections() || !settleOverwrite()) return;
        const bool made = createTable();
        // Staged rows are counted even when no table could take them.
        if (m_reader) countStagedRows();
        m_rows.staged = m_rowCount;
        if (!made) return;
        m_rows.sent = true;
        qint64 tried = 0;
        m_handler.step(JoinLine::SendRows, [&] { tried = sendRows(); });
        // Rows never tried (a lost connection, a failed read) are missing too.
        m_rows.staged = std::max(m_rowCount, tried);
        const bool named = !m_replacement || replaceListedTable();
        m_handler.step(JoinLine::ResetProgress, [&] { m_context.setProgress(0); });
        m_handler.step(JoinLine::CloseStagedRows, [&] { m_reader.reset(); });
        if (!named) return;
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
                                 countCharactersOnOracle(*m_oracle);
                             }) &&
               // Server-side cursors, asked for before this, are what every staging
               // read is.
               StepSucceeded(m_handler, JoinLine::OpenStagingForReading, [&] {
                   m_staging.emplace(OpenStagingDatabase(m_stagingPath, &m_context));
               });
    }

    // From TakeTableName to TestAnswerYes; false when the user keeps the
    // listed table.
    bool settleOverwrite() {
        m_handler.step(JoinLine::TakeTableName, [&] { m_name = m_target = m_newTable; });
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
        // The listed table stays as it is until its replacement holds every
        // row: the rows go under a name of their own, and the old table is
        // dropped only when the new one takes its name (DropOracleTable).
        if (m_handler.test(JoinLine::TestAnswerYes, [&] { return answer == Answer::Yes; })) {
            m_replacement.emplace(*m_oracle, m_choice.login, m_name, m_stagingPath,
                                  m_rows.overwrite);
            m_target = m_replacement->incoming();
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
            create = CreateTableStatement(NameQuoting::Oracle, m_target, columns,
                                          QStringLiteral("VARCHAR(2000)"));
        });
        // A table that could not be made is not ours: a table or view of that
        // name that the user did not choose to replace gets no row and is not
        // listed.
        return StepSucceeded(m_handler, JoinLine::CreateOracleTable, [&] {
            if (m_replacement) m_replacement->begin();
            try {
                m_oracle->execute(create);
            } catch (...) {
                if (m_replacement) m_replacement->nothingMade();
                throw;
            }
        });
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
    // rows tried. While one batch is with the server, the next is read; its
    // failures are reported in their turn, after the batch before it.
    qint64 sendRows() {
        LoopFailures reads(m_handler, JoinLine::ReadNextRow, LoopFailures::Ends::OnAnyFailure);
        LoopFailures writes(m_handler, JoinLine::InsertRow, LoopFailures::Ends::OnBrokenConnection);
        std::vector<db::Row> pending;  // read, not yet sent
        std::vector<db::Row> sending;  // with the server
        // One prepared INSERT; an empty value and a Null both go to Oracle as NULL.
        db::PreparedStatement insert = m_oracle->prepare(
            InsertStatement(NameQuoting::Oracle, m_target, m_reader->fieldCount()));
        DoublingBatch batches(WriteBatches);
        qint64 tried = 0;
        bool more = true;
        bool withServer = false;  // sending begun, its outcome not yet asked for
        std::exception_ptr readFailure;
        try {
            for (;;) {
                if (more) more = readRows(pending, qint64(batches.rows()), readFailure);
                if (!sending.empty()) {
                    const qint64 first = tried - qint64(sending.size());
                    withServer = false;
                    if (!sendBatch(insert, sending, first, batches)) {
                        batches.failed();
                        const qint64 sent = sendSingly(insert, sending, first, writes);
                        // Rows after a lost connection were never tried.
                        if (sent < qint64(sending.size())) {
                            m_connectionLost = true;
                            return first + sent + 1;
                        }
                    }
                    sending.clear();
                    // The batch's outcome sized the next one: it may take more rows.
                    if (more) more = readRows(pending, qint64(batches.rows()), readFailure);
                }
                if (readFailure) {
                    reads.run([&] { std::rethrow_exception(std::exchange(readFailure, nullptr)); });
                    m_readFailed = true;
                }
                takeBatch(pending, sending, qint64(batches.rows()));
                if (sending.empty()) break;
                tried += qint64(sending.size());
                insert.beginCommitted(sending, EmptyText::AsNull);
                withServer = true;
            }
        } catch (...) {
            // A batch still with the server when the run ends counts if it
            // was committed.
            if (withServer) {
                try {
                    insert.finishCommitted();
                    m_rows.written += qint64(sending.size());
                } catch (...) {
                }
            }
            throw;
        }
        return tried;
    }

    // Staged rows into pending until it holds a batch; false once the rows
    // are at an end, or could not be read: the failure is kept for its turn.
    bool readRows(std::vector<db::Row>& pending, qint64 rows, std::exception_ptr& failure) {
        qint64 characters = charactersOf(pending);
        while (qint64(pending.size()) < rows && characters < MaxBatchCharacters) {
            m_context.yield();
            try {
                if (!m_reader->next()) return false;
            } catch (const std::exception&) {
                failure = std::current_exception();
                return false;
            }
            pending.push_back(m_reader->row());
            characters += charactersOf(pending.back());
        }
        return true;
    }

    // The first rows of pending, as many as a batch takes, moved to batch.
    static void takeBatch(std::vector<db::Row>& pending, std::vector<db::Row>& batch, qint64 rows) {
        qint64 characters = 0;
        size_t taken = 0;
        while (taken < pending.size() && qint64(taken) < rows && characters < MaxBatchCharacters) {
            characters += charactersOf(pending[taken]);
            batch.push_back(std::move(pending[taken++]));
        }
        pending.erase(pending.begin(), pending.begin() + qsizetype(taken));
    }

    static qint64 charactersOf(const db::Row& row) {
        qint64 characters = 0;
        for (const db::Value& value : row)
            if (value) characters += value->size();
        return characters;
    }
    static qint64 charactersOf(const std::vector<db::Row>& rows) {
        qint64 characters = 0;
        for (const db::Row& row : rows) characters += charactersOf(row);
        return characters;
    }

    // The batch begun, in one exchange with the server, committed; false
    // when some row of it failed, or the connection did: then no row of it
    // counts as written, and it is undone.
    bool sendBatch(db::PreparedStatement& insert, const std::vector<db::Row>& batch, qint64 first,
                   DoublingBatch& batches) {
        try {
            insert.finishCommitted();
        } catch (const Failure&) {
            return false;
        }
        batches.took(0);
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
                insert.executeCommitted(std::span<const db::Row>(&batch[i], 1), EmptyText::AsNull);
                ++m_rows.written;
            });
            if (!goOn) return qint64(i);
        }
        return qint64(batch.size());
    }

    // Gives the new table the listed name once it holds every staged row,
    // the old table leaving only then; true when the new table has the name.
    // Any other end keeps the old table as it was, and says why.
    bool replaceListedTable() {
        const qint64 lacking = m_rowCount - m_rows.written;
        QString why;
        if (m_handler.abandoned())
            why = QStringLiteral("the writing ended early");
        else if (m_connectionLost)
            why = QStringLiteral("the connection was lost while the rows were written");
        else if (m_readFailed)
            why = QStringLiteral("the staged rows could not all be read");
        else if (lacking > 0)
            why = QStringLiteral("%1 of the %2 rows could not be written")
                      .arg(QString::number(lacking), QString::number(m_rowCount));
        bool swapped = false;
        if (why.isEmpty())
            m_handler.step(JoinLine::DropOracleTable, [&] {
                swapped = true;
                m_replacement->replace();
            });
        else
            m_rows.oldTableKept = keepListedTable(why);
        // A run abandoned just now skips the swap: the old table stays.
        if (!swapped && why.isEmpty())
            m_rows.oldTableKept = keepListedTable(QStringLiteral("the writing ended early"));
        if (!m_replacement->named()) {
            m_rows.written = 0;
            return false;
        }
        // Whether or not the old table had the name, the new one has it now.
        m_handler.step(JoinLine::RemoveFromList1, [&] { removeEntries(m_window, First, m_name); });
        m_handler.step(JoinLine::RemoveFromList3, [&] { removeEntries(m_window, Second, m_name); });
        return true;
    }

    QString keepListedTable(const QString& why) {
        return m_replacement->keep(why, m_connectionLost) +
               QStringLiteral(" The new rows stay staged in ") + m_stagingPath + QLatin1Char('.');
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
    // Where the rows go: the name, or the incoming table of an overwrite.
    QString m_target;
    std::optional<ListedTableReplacement> m_replacement;
    bool m_connectionLost = false;
    bool m_readFailed = false;
    qint64 m_rowCount = 0;
    WrittenRows& m_rows;
};

}  // namespace

void WritingCutShort(WrittenRows& rows) {
    rows.written = OverwriteCutShort(rows.overwrite, rows.written);
}

void WriteResultTable(TrappedHandler& handler, JoinWindow& window, Dialogs& dialogs,
                      RunContext& context, const JoinChoice& choice, const QString& newTable,
                      const QString& stagingPath, WrittenRows& rows) {
    ResultTableWriter(handler, window, dialogs, context, choice, newTable, stagingPath, rows).run();
}
