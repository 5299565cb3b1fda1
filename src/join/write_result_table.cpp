#include "join/write_result_table.h"

#include <QLoggingCategory>
#include <QRandomGenerator>
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

Q_LOGGING_CATEGORY(lcWrite, "quillmere.join", QtInfoMsg)

enum class Answer { None, Yes, No };

// Names for the two tables of an overwrite: the new rows are written under
// the first, and the old table waits under the second while the new one
// takes its name. Short, for servers that allow 30 characters.
struct OverwriteNames {
    QString incoming, outgoing;
    static OverwriteNames fresh() {
        const QString tag =
            QStringLiteral("%1")
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'))
                .toUpper();
        return {QStringLiteral("QM_NEW_") + tag, QStringLiteral("QM_OLD_") + tag};
    }
};

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
        const bool named = !m_overwrite || replaceListedTable(tried);
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
        // dropped only when the new one can take its name (DropOracleTable).
        if (m_handler.test(JoinLine::TestAnswerYes, [&] { return answer == Answer::Yes; })) {
            m_overwrite = OverwriteNames::fresh();
            m_target = m_overwrite->incoming;
            m_rows.listed = OracleName(m_name);
            m_rows.incoming = OracleName(m_target);
            qCInfo(lcWrite).noquote() << QStringLiteral(
                                             "overwriting %1: the new rows are written into %2, "
                                             "and %1 keeps its rows until %2 is whole")
                                             .arg(OracleName(m_name), OracleName(m_target));
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

    // Gives the new table the listed name once it holds every row that
    // could be written, the old table leaving only then; true when the new
    // table has the name. Any other end keeps the old table as it was.
    bool replaceListedTable(qint64 tried) {
        const QString incoming = OracleName(m_overwrite->incoming);
        // From here on, the log tells where the rows are at each move.
        m_rows.listed.clear();
        m_rows.incoming.clear();
        if (m_handler.abandoned() || m_connectionLost || m_readFailed || tried < m_rowCount) {
            // A lost connection takes nothing more; after a failed read the
            // unfinished table goes.
            if (!m_handler.abandoned() && !m_connectionLost && execute(dropStatement(incoming)))
                qCInfo(lcWrite).noquote()
                    << QStringLiteral("%1 keeps its rows: the writing ended early")
                           .arg(OracleName(m_name));
            else
                qCWarning(lcWrite).noquote()
                    << QStringLiteral(
                           "%1 keeps its rows: the writing ended early; %2 holds the "
                           "%3 rows written")
                           .arg(OracleName(m_name), incoming, QString::number(m_rows.written));
            m_rows.written = 0;
            return false;
        }
        bool named = false;
        bool oldGone = false;
        m_handler.step(JoinLine::DropOracleTable, [&] { swapTables(named, oldGone); });
        if (!named) {
            m_rows.written = 0;
            return false;
        }
        if (oldGone) {
            m_handler.step(JoinLine::RemoveFromList1,
                           [&] { removeEntries(m_window, First, m_name); });
            m_handler.step(JoinLine::RemoveFromList3,
                           [&] { removeEntries(m_window, Second, m_name); });
        }
        return true;
    }

    // The old table steps aside under a name of its own, the new one takes
    // its name, and the old one is dropped; at every moment the old rows are
    // under the listed name or the one logged. A failure puts the old table
    // back, drops the new one, and is thrown for the error box. A listed name
    // with no table of exactly that name behind it (it differs in case, say)
    // leaves the new table beside the listed one, and the failure to move
    // the old one is thrown all the same.
    void swapTables(bool& named, bool& oldGone) {
        const QString name = OracleName(m_name);
        const QString incoming = OracleName(m_overwrite->incoming);
        const QString outgoing = OracleName(m_overwrite->outgoing);
        std::exception_ptr moveFailure;
        const bool moved = execute(renameStatement(name, outgoing), &moveFailure);
        if (moved)
            qCInfo(lcWrite).noquote()
                << QStringLiteral("%1 keeps its old rows as %2 while %3 takes its name")
                       .arg(name, outgoing, incoming);
        std::exception_ptr failure;
        if (!execute(renameStatement(incoming, name), &failure)) {
            putBack(moved, QString(), outgoing, name, incoming);
            std::rethrow_exception(moveFailure ? moveFailure : failure);
        }
        if (moved && !execute(dropStatement(outgoing), &failure)) {
            // Something depends on the old table: it stays, under its name.
            putBack(moved, name, outgoing, name, incoming);
            std::rethrow_exception(failure);
        }
        named = true;
        oldGone = moved;
        qCInfo(lcWrite).noquote() << QStringLiteral("%1 now holds the new rows").arg(name);
        if (moveFailure) std::rethrow_exception(moveFailure);
    }

    // Undoes a swap: the new table leaves the name (when it took it), the
    // old one comes back, the new one is dropped. Each step is tried alone;
    // the log tells where each table is.
    void putBack(bool moved, const QString& newUnderName, const QString& outgoing,
                 const QString& name, const QString& incoming) {
        if (!newUnderName.isEmpty()) execute(renameStatement(newUnderName, incoming));
        if (moved && execute(renameStatement(outgoing, name)))
            qCInfo(lcWrite).noquote() << QStringLiteral("%1 holds its old rows again").arg(name);
        else if (moved)
            qCWarning(lcWrite).noquote()
                << QStringLiteral("the old rows of %1 are kept as %2").arg(name, outgoing);
        if (!execute(dropStatement(incoming)))
            qCWarning(lcWrite).noquote()
                << QStringLiteral("the new rows meant for %1 are left in %2").arg(name, incoming);
    }

    static QString renameStatement(const QString& from, const QString& to) {
        return QStringLiteral("ALTER TABLE ") + from + QStringLiteral(" RENAME TO ") + to;
    }
    static QString dropStatement(const QString& table) {
        return QStringLiteral("DROP TABLE ") + table;
    }

    // Runs one statement of the swap; false, keeping its failure when asked
    // to, if it failed.
    bool execute(const QString& statement, std::exception_ptr* failure = nullptr) {
        try {
            m_oracle->execute(statement);
            return true;
        } catch (const Failure&) {
            if (failure) *failure = std::current_exception();
            return false;
        }
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
    std::optional<OverwriteNames> m_overwrite;
    bool m_connectionLost = false;
    bool m_readFailed = false;
    qint64 m_rowCount = 0;
    WrittenRows& m_rows;
};

}  // namespace

void WritingCutShort(WrittenRows& rows) {
    if (rows.incoming.isEmpty()) return;
    qCWarning(lcWrite).noquote()
        << QStringLiteral(
               "%1 keeps its rows: the program ended while the rows were written; "
               "%2 holds the %3 rows written")
               .arg(rows.listed, rows.incoming, QString::number(rows.written));
    rows.written = 0;
}

void WriteResultTable(TrappedHandler& handler, JoinWindow& window, Dialogs& dialogs,
                      RunContext& context, const JoinChoice& choice, const QString& newTable,
                      const QString& stagingPath, WrittenRows& rows) {
    ResultTableWriter(handler, window, dialogs, context, choice, newTable, stagingPath, rows).run();
}
