#include "join/write_result_table.h"

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
#include "oracle/oracle_connection_string.h"

namespace {

enum class Answer { None, Yes, No };

template <typename T>
T& opened(std::optional<T>& object, const char* what) {
    if (!object) throw Failure(QString::fromLatin1(what) + QStringLiteral(" is not open."));
    return *object;
}

void removeEntries(JoinWindow& window, JoinWindow::TableList list, const QString& name) {
    QStringList entries = window.tableListEntries(list);
    for (int index : RemoveListEntry(entries, name)) window.removeTableListEntry(list, index);
}

}  // namespace

void WriteResultTable(TrappedHandler& handler, JoinWindow& window, Dialogs& dialogs,
                      RunContext& context, const JoinChoice& choice, const QString& newTable,
                      const QString& stagingPath) {
    std::optional<db::Connection> oracle;
    std::optional<db::Connection> staging;  // staging connection B
    std::optional<db::ResultSet> reader;

    // Line 258 asks for client-side cursors; rows are streamed whatever the
    // location, so there is nothing to set.
    handler.step(260, [&] {
        oracle.emplace();
        oracle->open(OracleConnectionString(choice.login));
    });
    handler.step(266, [&] {
        // Line 262 asks for server-side cursors, which every staging read is.
        staging.emplace(OpenStagingDatabase(stagingPath));
    });
    QString name;
    handler.step(268, [&] { name = newTable; });

    Answer answer = Answer::None;
    if (handler.test(270, [&] {
            return ListContains(window.tableListEntries(JoinWindow::TableList::First), name);
        }))
        handler.step(272, [&] {
            answer = dialogs.askYesNo(
                         QStringLiteral("Would you like to overwrite ") + name + QLatin1Char('?'),
                         QStringLiteral("Overwrite?"))
                         ? Answer::Yes
                         : Answer::No;
        });
    const bool skipToEnd = handler.test(276, [&] { return answer == Answer::No; });
    if (!skipToEnd) {
        if (handler.test(278, [&] { return answer == Answer::Yes; })) {
            handler.step(280, [&] {
                opened(oracle, "The Oracle connection")
                    .execute(QStringLiteral("DROP TABLE ") + OracleName(name));
            });
            handler.step(282, [&] { removeEntries(window, JoinWindow::TableList::First, name); });
            handler.step(284, [&] { removeEntries(window, JoinWindow::TableList::Second, name); });
        }
        handler.step(286, [&] {
            reader.emplace(opened(staging, "The staging database")
                               .query(QStringLiteral("SELECT * FROM ") + StagingName(name)));
        });
        QString create;
        handler.step(288, [&] {
            QStringList columns;
            if (reader) {
                for (int i = 0; i < reader->fieldCount(); ++i) {
                    context.yield();
                    columns << reader->fieldName(i);
                }
            }
            create = CreateTableStatement(NameQuoting::Oracle, name, columns,
                                          QStringLiteral("VARCHAR(2000)"));
        });
        handler.step(306, [&] { opened(oracle, "The Oracle connection").execute(create); });

        // The bar needs the number of rows before they are streamed.
        qint64 rowCount = 0;
        handler.step(314, [&] {
            db::ResultSet count =
                opened(staging, "The staging database")
                    .query(QStringLiteral("SELECT COUNT(*) FROM ") + StagingName(name));
            if (count.next()) rowCount = count.value(0).value_or(QStringLiteral("0")).toLongLong();
        });
        handler.step(316, [&] {
            if (!reader || !oracle) return;
            LoopFailures reads(handler, 350, LoopFailures::Ends::OnAnyFailure);
            LoopFailures writes(handler, 348, LoopFailures::Ends::OnBrokenConnection);
            bool more = false;
            if (!reads.run([&] { more = reader->next(); })) return;
            for (qint64 j = 0; more; ++j) {
                context.yield();
                handler.setLine(320);
                if (rowCount > 0)
                    context.setProgress(
                        int(std::min(100.0, double(j + 1) / double(rowCount) * 100.0) + 0.5));
                // An empty value and a Null both go to Oracle as NULL.
                const QString insert =
                    InsertStatement(NameQuoting::Oracle, name, reader->row(), EmptyText::AsNull);
                if (!writes.run([&] { oracle->execute(insert); })) break;
                if (!reads.run([&] { more = reader->next(); })) break;
            }
        });
        handler.step(354, [&] { context.setProgress(0); });
        handler.step(356, [&] { reader.reset(); });
        handler.step(358, [&] { window.addTableListEntry(JoinWindow::TableList::First, name); });
        handler.step(360, [&] { window.addTableListEntry(JoinWindow::TableList::Second, name); });
    }
    handler.step(368, [&] { window.pointer().setPointerState(PointerState::Default); });
    handler.step(370, [&] { staging.reset(); });
    handler.step(372, [&] { oracle.reset(); });
}
