#include "join/write_result_table.h"

#include <QElapsedTimer>
#include <algorithm>
#include <optional>

#include "base/dialogs.h"
#include "base/failure.h"
#include "base/pointer_state.h"
#include "base/run_context.h"
#include "base/trapped_handler.h"
#include "db/connection.h"
#include "db/create_table_statement.h"
#include "db/insert_statement.h"
#include "db/quoted_names.h"
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
// first batches are small, so a table of a few rows goes much as row by row;
// they double while the server takes them quickly, up to a size that keeps
// the driver's buffers small.
class RowBatches final {
public:
    bool takes(std::size_t rows, qint64 characters) const {
        return qint64(rows) < m_rows && characters < MaxCharacters;
    }
    void sent(qint64 milliseconds) {
        if (milliseconds < QuickMs && m_rows < MaxRows) m_rows *= 2;
        if (milliseconds > SlowMs && m_rows > 1) m_rows /= 2;
    }
    void failed() { m_rows = std::max<qint64>(1, m_rows / 2); }

private:
    static constexpr qint64 MaxRows = 1024;
    static constexpr qint64 MaxCharacters = 4 * 1024 * 1024;
    static constexpr qint64 QuickMs = 100;
    static constexpr qint64 SlowMs = 400;
    qint64 m_rows = 1;
};

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

}  // namespace

WrittenRows WriteResultTable(TrappedHandler& handler, JoinWindow& window, Dialogs& dialogs,
                             RunContext& context, const JoinChoice& choice, const QString& newTable,
                             const QString& stagingPath) {
    std::optional<db::Connection> oracle;
    std::optional<db::Connection> staging;  // staging connection B
    std::optional<db::ResultSet> reader;
    WrittenRows rows;

    // Lines 258 to 360; a return goes on at line 368.
    const auto writeTable = [&] {
        // Line 258 asks for client-side cursors; rows are streamed whatever
        // the location, so there is nothing to set. Without either connection
        // nothing below could work: no question, no drop.
        if (!StepSucceeded(handler, 260, [&] {
                oracle.emplace();
                oracle->setRunContext(&context);
                oracle->open(OracleConnectionString(choice.login));
            }))
            return;
        if (!StepSucceeded(handler, 266, [&] {
                // Line 262 asks for server-side cursors, which every staging read is.
                staging.emplace(OpenStagingDatabase(stagingPath, &context));
            }))
            return;
        QString name;
        handler.step(268, [&] { name = newTable; });

        Answer answer = Answer::None;
        if (handler.test(270, [&] {
                return ListContains(window.tableListEntries(JoinWindow::TableList::First), name);
            }))
            handler.step(272, [&] {
                answer = dialogs.askYesNo(QStringLiteral("Would you like to overwrite ") + name +
                                              QLatin1Char('?'),
                                          QStringLiteral("Overwrite?"))
                             ? Answer::Yes
                             : Answer::No;
            });
        if (handler.test(276, [&] { return answer == Answer::No; })) return;
        if (handler.test(278, [&] { return answer == Answer::Yes; })) {
            // The lists keep a table that is still there.
            if (StepSucceeded(handler, 280, [&] {
                    oracle->execute(QStringLiteral("DROP TABLE ") + OracleName(name));
                })) {
                handler.step(282,
                             [&] { removeEntries(window, JoinWindow::TableList::First, name); });
                handler.step(284,
                             [&] { removeEntries(window, JoinWindow::TableList::Second, name); });
            }
        }
        if (!StepSucceeded(handler, 286, [&] {
                reader.emplace(
                    staging->query(QStringLiteral("SELECT * FROM ") + StagingName(name)));
            }))
            return;
        QString create;
        handler.step(288, [&] {
            QStringList columns;
            for (int i = 0; i < reader->fieldCount(); ++i) {
                context.yield();
                columns << reader->fieldName(i);
            }
            create = CreateTableStatement(NameQuoting::Oracle, name, columns,
                                          QStringLiteral("VARCHAR(2000)"));
        });
        // A table that could not be made is not ours: a table or view of that
        // name that the user did not choose to replace gets no row and is not
        // listed.
        if (!StepSucceeded(handler, 306, [&] { oracle->execute(create); })) return;

        // The bar needs the number of rows before they are streamed.
        qint64 rowCount = 0;
        handler.step(314, [&] {
            db::ResultSet count =
                staging->query(QStringLiteral("SELECT COUNT(*) FROM ") + StagingName(name));
            if (count.next()) rowCount = count.value(0).value_or(QStringLiteral("0")).toLongLong();
        });
        qint64 tried = 0;
        handler.step(316, [&] {
            LoopFailures reads(handler, 350, LoopFailures::Ends::OnAnyFailure);
            LoopFailures writes(handler, 348, LoopFailures::Ends::OnBrokenConnection);
            // One prepared INSERT; an empty value and a Null both go to
            // Oracle as NULL.
            db::PreparedStatement insert =
                oracle->prepare(InsertStatement(NameQuoting::Oracle, name, reader->fieldCount()));
            // The bar shows (j + 1) / N of the way once row j is on its way.
            const auto showRow = [&](qint64 j) {
                handler.setLine(320);
                if (rowCount > 0)
                    context.setProgress(
                        int(std::min(100.0, double(j + 1) / double(rowCount) * 100.0) + 0.5));
            };
            RowBatches batches;
            std::vector<db::Row> batch;
            bool more = true;
            while (more) {
                // The next rows from the staged table, as many as a batch takes.
                batch.clear();
                qint64 characters = 0;
                while (batches.takes(batch.size(), characters)) {
                    context.yield();
                    if (!reads.run([&] { more = reader->next(); })) more = false;
                    if (!more) break;
                    batch.push_back(InsertValues(reader->row(), EmptyText::AsNull));
                    for (const db::Value& value : batch.back())
                        if (value) characters += value->size();
                }
                if (batch.empty()) break;
                const qint64 first = tried;
                tried += qint64(batch.size());
                // The whole batch in one exchange with the server, committed.
                QElapsedTimer took;
                took.start();
                try {
                    oracle->beginTransaction();
                    insert.executeBatch(batch);
                    oracle->commit();
                    rows.written += qint64(batch.size());
                    for (qint64 j = first; j < tried; ++j) showRow(j);
                    batches.sent(took.elapsed());
                    continue;
                } catch (const Failure&) {
                    // Some row of the batch failed, or the connection did: no
                    // row of it may count as written, so it is undone and each
                    // row gets an attempt of its own.
                    rollbackQuietly(*oracle);
                    batches.failed();
                }
                for (std::size_t i = 0; i < batch.size(); ++i) {
                    context.yield();
                    showRow(first + qint64(i));
                    const bool goOn = writes.run([&] {
                        try {
                            oracle->beginTransaction();
                            insert.execute(batch[i]);
                            oracle->commit();
                        } catch (...) {
                            rollbackQuietly(*oracle);
                            throw;
                        }
                        ++rows.written;
                    });
                    if (!goOn) {
                        // Rows after a lost connection were never tried.
                        tried = first + qint64(i) + 1;
                        return;
                    }
                }
            }
        });
        // Rows never tried (a lost connection, a failed read) are missing too.
        rows.staged = std::max(rowCount, tried);
        handler.step(354, [&] { context.setProgress(0); });
        handler.step(356, [&] { reader.reset(); });
        handler.step(358, [&] { window.addTableListEntry(JoinWindow::TableList::First, name); });
        handler.step(360, [&] { window.addTableListEntry(JoinWindow::TableList::Second, name); });
    };
    writeTable();
    handler.step(368, [&] { window.pointer().setPointerState(PointerState::Default); });
    handler.step(370, [&] { staging.reset(); });
    handler.step(372, [&] { oracle.reset(); });
    return rows;
}
