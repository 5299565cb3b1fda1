// The join run: its small routines, the join query, and whole runs against
// the stand-in server, driven headless through a test JoinWindow.
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>

#include "base/trapped_handler.h"
#include "db/connection.h"
#include "db/db_error.h"
#include "join/array_contains.h"
#include "join/full_outer_join_sql.h"
#include "join/join_run.h"
#include "join/list_contains.h"
#include "join/loop_failures.h"
#include "join/open_staging_database.h"
#include "join/remove_list_entry.h"
#include "join/staging_database_path.h"
#include "join/staging_table_exists.h"
#include "join/strip_table_prefix.h"
#include "oracle/list_oracle_tables.h"
#include "oracle/list_table_fields.h"
#include "support/recording_dialogs.h"
#include "support/recording_run_context.h"
#include "support/standin.h"
#include "support/test_join_window.h"

namespace {

QList<QStringList> sorted(QList<QStringList> rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
}

// A login of its own, a join set-up window listing its tables, and a program
// folder of its own for the staging file.
class JoinRig final {
public:
    JoinRig() { window.oracleLogin = owner.login(); }

    // Lists the login's tables, as the window's load step does.
    void open() {
        window.list1.clear();
        window.list3.clear();
        for (auto list : {JoinWindow::TableList::First, JoinWindow::TableList::Second})
            ListOracleTables(
                owner.login(),
                [&](const QString& name) {
                    window.addTableListEntry(list, name);
                    return true;
                },
                context);
    }
    TestJoinWindow& form() { return window; }

    void choose(JoinWindow::TableList side, const QString& table, const QString& field) {
        QVERIFY2(window.tableListEntries(side).contains(table), qPrintable(table));
        QVERIFY2(TableFieldNames(owner.login(), table).contains(field), qPrintable(field));
        if (side == JoinWindow::TableList::First) {
            window.table1 = table;
            window.field1 = field;
        } else {
            window.table2 = table;
            window.field2 = field;
        }
    }

    // Lists the tables and chooses a table and its field on each side.
    void openChoosing(const QString& table1, const QString& field1, const QString& table2,
                      const QString& field2) {
        open();
        choose(JoinWindow::TableList::First, table1, field1);
        choose(JoinWindow::TableList::Second, table2, field2);
    }

    void startJoining() { PushButton2_Click(window, dialogs, context, programFolder.path()); }

    // The rows of a staged table, as text or "<null>".
    QList<QStringList> stagedRows(const QString& table) const {
        db::Connection staging = OpenStagingDatabase(StagingDatabasePath(programFolder.path()));
        return AllRows(staging, QStringLiteral("SELECT * FROM `%1`").arg(table));
    }

    QTemporaryDir programFolder;
    standin::Login owner;
    RecordingDialogs dialogs;
    RecordingRunContext context;
    TestJoinWindow window;
};

constexpr auto First = JoinWindow::TableList::First;
constexpr auto Second = JoinWindow::TableList::Second;

}  // namespace

class TestJoinRun : public QObject {
    Q_OBJECT

private slots:
    void fullOuterJoinSql() {
        QCOMPARE(
            FullOuterJoinSql("Table1", "ID", "Table2", "REF"),
            QStringLiteral(
                "SELECT * FROM Table1 LEFT JOIN Table2 ON Table1.ID=Table2.REF UNION SELECT * FROM "
                "Table1 RIGHT JOIN Table2 ON Table1.ID= Table2.REF WHERE Table1.ID Is Null"));
    }

    void smallRoutines() {
        QCOMPARE(StripTablePrefix("Table1.ID"), QStringLiteral("ID"));
        QCOMPARE(StripTablePrefix("a.b.c"), QStringLiteral("b.c"));
        QCOMPARE(StripTablePrefix("NAME"), QStringLiteral("NAME"));

        const QStringList names = {"ID", "Name"};
        QVERIFY(ArrayContains(names, "id"));
        QVERIFY(ArrayContains(names, "NAME"));
        QVERIFY(!ArrayContains(names, "ID1"));
        QVERIFY(!ArrayContains({}, ""));

        QVERIFY(ListContains({"ABC", "orders"}, "abc"));
        QVERIFY(!ListContains({"ABC"}, "ABCD"));

        QStringList entries = {"ABC", "abc", "X", "abc"};
        QCOMPARE(RemoveListEntry(entries, "abc"), (QList<int>{3, 1}));
        QCOMPARE(entries, (QStringList{"ABC", "X"}));
        QCOMPARE(RemoveListEntry(entries, "missing"), QList<int>{});
    }

    // One box per kind of failure at a line; a broken connection or a failed
    // read ends the loop.
    void loopFailures() {
        RecordingDialogs dialogs;
        TrappedHandler handler("in test ", dialogs);
        LoopFailures writes(handler, 348, LoopFailures::Ends::OnBrokenConnection);
        QVERIFY(writes.run([] {}));
        QVERIFY(writes.run([] { throw DbError("value too long", "22001"); }));
        QVERIFY(writes.run([] { throw DbError("value too long", "22001"); }));
        QVERIFY(writes.run([] { throw DbError("other", "23000"); }));
        QVERIFY(!writes.run([] { throw DbError("connection lost", "08S01"); }));
        QCOMPARE(dialogs.errorBoxes().size(), 3);
        QVERIFY(dialogs.shown[0].text.startsWith("value too long\r\nin test at line 348"));

        LoopFailures reads(handler, 350, LoopFailures::Ends::OnAnyFailure);
        QVERIFY(!reads.run([] { throw DbError("fetch failed"); }));
        QCOMPARE(dialogs.errorBoxes().size(), 4);
    }

    // The new table holds what PostgreSQL itself computes for the full outer
    // join of the same two tables, duplicates removed as UNION does.
    void resultEqualsTheServersFullOuterJoin() {
        JoinRig rig;
        rig.owner.exec(
            R"(CREATE TABLE "Left Side" ("ID" varchar(40), "NAME" varchar(40), "BIG" numeric(38)))");
        rig.owner.exec(R"(INSERT INTO "Left Side" VALUES
            ('1', 'O''Neil', 12345678901234567890123456789012345678),
            ('2', 'NULL', 1), ('2', 'NULL', 1), ('3', 'True', NULL), ('k', 'a''True''b', 2),
            (NULL, 'left without key', 3), ('4', 'Grüße 日本', 4), ('x|mysepz123|y', 'sep', 5))");
        rig.owner.exec(
            R"(CREATE TABLE "RIGHT" ("REF" varchar(40), "ID" varchar(40), "NOTE" text))");
        rig.owner.exec(R"(INSERT INTO "RIGHT" VALUES
            ('2', 'r2', 'False'), ('3', 'r3', 'three'), ('K', 'rK', 'case differs'), ('9', 'r9', 'unmatched'),
            (NULL, 'rn', 'right without key'), ('x|mysepz123|y', 'rs', 'sep too'))");
        rig.openChoosing("Left Side", "ID", "RIGHT", "REF");
        rig.dialogs.promptAnswers << QStringLiteral("Joined");
        rig.startJoining();
        const QList<int>& progress = rig.context.progress;

        QCOMPARE(rig.dialogs.errorBoxes().size(), 0);
        QCOMPARE(rig.dialogs.shown.size(), 1);  // the name prompt, and nothing after it
        QCOMPARE(rig.dialogs.shown.front().text, QStringLiteral("Enter name of new table: "));
        const auto expected = rig.owner.rows(R"(
            SELECT DISTINCT l."ID", l."NAME", l."BIG"::text, r."REF", r."ID", r."NOTE"
              FROM "Left Side" l FULL OUTER JOIN "RIGHT" r ON l."ID" = r."REF")");
        QCOMPARE(sorted(rig.owner.rows(R"(SELECT * FROM "Joined")")), sorted(expected));
        QCOMPARE(rig.owner.rows(R"(SELECT column_name, data_type, character_maximum_length::text
                                     FROM information_schema.columns WHERE table_name = 'Joined'
                                    ORDER BY ordinal_position)"),
                 (QList<QStringList>{{"ID", "character varying", "2000"},
                                     {"NAME", "character varying", "2000"},
                                     {"BIG", "character varying", "2000"},
                                     {"REF", "character varying", "2000"},
                                     {"ID1", "character varying", "2000"},
                                     {"NOTE", "character varying", "2000"}}));
        // The staged copy holds the same rows, Nulls as Nulls.
        QCOMPARE(sorted(rig.stagedRows("Joined")), sorted(expected));
        QVERIFY(rig.form().tableListEntries(First).contains("Joined"));
        QVERIFY(rig.form().tableListEntries(Second).contains("Joined"));
        // (j + 1) / N of the way for each of the N rows written, then back to 0.
        const int rows = int(expected.size());
        QList<int> expectedProgress;
        for (int j = 0; j < rows; ++j) expectedProgress << qRound((j + 1) * 100.0 / rows);
        expectedProgress << 0;
        expectedProgress.erase(std::unique(expectedProgress.begin(), expectedProgress.end()),
                               expectedProgress.end());
        QCOMPARE(progress, expectedProgress);
        QCOMPARE(rig.form().pointer().pointerState(), PointerState::Default);
    }

    // Duplicate column names take the suffix, case ignored; without a suffix
    // the staged table cannot be made and the failure is reported.
    void duplicateColumnNames_data() {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<bool>("sameTable");
        QTest::addColumn<QStringList>("columns");
        QTest::newRow("suffix 1") << "1" << false << QStringList{"ID", "Name", "id1", "name1", "X"};
        QTest::newRow("suffix _b")
            << "_b" << false << QStringList{"ID", "Name", "id_b", "name_b", "X"};
        QTest::newRow("same table twice")
            << "2" << true << QStringList{"ID", "Name", "ID2", "Name2"};
    }
    void duplicateColumnNames() {
        QFETCH(QString, suffix);
        QFETCH(bool, sameTable);
        QFETCH(QStringList, columns);
        JoinRig rig;
        rig.owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10), "Name" varchar(10)))");
        rig.owner.exec(
            R"(CREATE TABLE "B" ("id" varchar(10), "name" varchar(10), "X" varchar(10)))");
        rig.owner.exec(R"(INSERT INTO "A" VALUES ('1', 'a'))");
        rig.owner.exec(R"(INSERT INTO "B" VALUES ('1', 'b', 'x'))");
        rig.open();
        rig.choose(First, "A", "ID");
        if (sameTable)
            rig.choose(Second, "A", "ID");
        else
            rig.choose(Second, "B", "id");
        rig.form().suffixText = suffix;
        rig.dialogs.promptAnswers << QStringLiteral("R");
        rig.startJoining();
        QCOMPARE(rig.dialogs.errorBoxes().size(), 0);
        QStringList names;
        for (const auto& row : rig.owner.rows("SELECT column_name FROM information_schema.columns "
                                              "WHERE table_name = 'R' ORDER BY ordinal_position"))
            names << row.front();
        QCOMPARE(names, columns);
    }

    void emptySuffixFailsAtTheStagingCreate() {
        JoinRig rig;
        rig.owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10)))");
        rig.owner.exec(R"(INSERT INTO "A" VALUES ('1'), ('2'))");
        rig.openChoosing("A", "ID", "A", "ID");
        rig.form().suffixText.clear();
        rig.dialogs.promptAnswers << QStringLiteral("R");
        rig.startJoining();
        const auto boxes = rig.dialogs.errorBoxes();
        QVERIFY(!boxes.isEmpty());
        QVERIFY2(boxes.front().text.contains("Form2.PushButton2_Click at line 252\r\r"),
                 qPrintable(boxes.front().text));
        QCOMPARE(rig.form().pointer().pointerState(), PointerState::Default);
    }

    // The overwrite question: Yes replaces, No leaves everything as it was; a
    // name that differs only in case is asked about, its drop fails.
    void overwrite_data() {
        QTest::addColumn<QString>("existing");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes") << "OUT"
                             << "OUT" << true;
        QTest::newRow("no") << "OUT"
                            << "OUT" << false;
        QTest::newRow("case differs") << "OUT"
                                      << "out" << true;
    }
    void overwrite() {
        QFETCH(QString, existing);
        QFETCH(QString, typed);
        QFETCH(bool, yes);
        JoinRig rig;
        rig.owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10), "V" varchar(10)))");
        rig.owner.exec(R"(INSERT INTO "A" VALUES ('1', 'new'))");
        rig.owner.exec(QStringLiteral(R"(CREATE TABLE "%1" ("OLD" varchar(10)))").arg(existing));
        rig.owner.exec(QStringLiteral(R"(INSERT INTO "%1" VALUES ('old'))").arg(existing));
        rig.openChoosing("A", "ID", "A", "ID");
        rig.dialogs.promptAnswers << typed;
        rig.dialogs.yesNoAnswers << yes;
        rig.startJoining();

        const auto question = std::find_if(rig.dialogs.shown.begin(), rig.dialogs.shown.end(),
                                           [](const auto& s) { return s.kind == "question"; });
        QVERIFY(question != rig.dialogs.shown.end());
        QCOMPARE(question->text, QStringLiteral("Would you like to overwrite %1?").arg(typed));
        QCOMPARE(question->caption, QStringLiteral("Overwrite?"));
        const QStringList list1 = rig.form().tableListEntries(First);
        if (!yes) {
            QCOMPARE(rig.dialogs.errorBoxes().size(), 0);
            QCOMPARE(rig.owner.rows(QStringLiteral(R"(SELECT * FROM "%1")").arg(existing)),
                     (QList<QStringList>{{"old"}}));
            QCOMPARE(list1.count(existing), 1);
        } else if (typed == existing) {
            QCOMPARE(rig.dialogs.errorBoxes().size(), 0);
            QCOMPARE(rig.owner.rows(QStringLiteral(R"(SELECT "ID", "V" FROM "%1")").arg(typed)),
                     (QList<QStringList>{{"1", "new"}}));
            QCOMPARE(list1.count(typed), 1);
        } else {
            // The drop of "out" finds no table: reported, and "out" is made beside "OUT".
            const auto boxes = rig.dialogs.errorBoxes();
            QCOMPARE(boxes.size(), 1);
            QVERIFY(boxes.front().text.contains("at line 280\r\r"));
            QCOMPARE(rig.owner.rows(QStringLiteral(R"(SELECT * FROM "%1")").arg(existing)),
                     (QList<QStringList>{{"old"}}));
            QCOMPARE(rig.owner.rows(QStringLiteral(R"(SELECT "ID" FROM "%1")").arg(typed)),
                     (QList<QStringList>{{"1"}}));
            QVERIFY(list1.contains(existing) && list1.contains(typed));
        }
        QCOMPARE(rig.form().pointer().pointerState(), PointerState::Default);
    }

    void emptyJoinGivesAnEmptyTable() {
        JoinRig rig;
        rig.owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10)))");
        rig.owner.exec(R"(CREATE TABLE "B" ("ID" varchar(10), "V" varchar(10)))");
        rig.openChoosing("A", "ID", "B", "ID");
        rig.dialogs.promptAnswers << QStringLiteral("E");
        rig.startJoining();
        QCOMPARE(rig.dialogs.errorBoxes().size(), 0);
        QCOMPARE(rig.owner.rows(R"(SELECT count(*) FROM "E")"), (QList<QStringList>{{"0"}}));
    }

    // Cancelling the name prompt, or an empty name, ends the run after the
    // copies: nothing is staged under a new name, nothing is written.
    void cancelledPrompt() {
        JoinRig rig;
        rig.owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10)))");
        rig.owner.exec(R"(INSERT INTO "A" VALUES ('1'))");
        rig.openChoosing("A", "ID", "A", "ID");
        const QStringList before = rig.form().tableListEntries(First);
        rig.startJoining();                               // cancelled
        rig.dialogs.promptAnswers << QStringLiteral("");  // empty
        rig.startJoining();
        QCOMPARE(rig.dialogs.errorBoxes().size(), 0);
        QCOMPARE(rig.stagedRows("Table1"), (QList<QStringList>{{"1"}}));
        QCOMPARE(rig.stagedRows("Table2"), (QList<QStringList>{{"1"}}));
        QCOMPARE(rig.owner.rows("SELECT count(*) FROM user_tables"), (QList<QStringList>{{"1"}}));
        QCOMPARE(rig.form().tableListEntries(First), before);
        QCOMPARE(rig.form().pointer().pointerState(), PointerState::Default);
    }

    void missingSelection() {
        JoinRig rig;
        rig.owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10)))");
        rig.open();
        rig.choose(First, "A", "ID");
        rig.startJoining();
        QCOMPARE(rig.dialogs.texts(),
                 QStringList{"Please select a table and field from each database."});
        QCOMPARE(rig.dialogs.shown.front().caption, QString());
        QCOMPARE(rig.form().pointer().pointerState(), PointerState::Default);
    }

    // A second "Start Joining" while a run is yielding starts nothing, and a
    // second run of the same name replaces the staged table.
    void secondClickDuringARunStartsNothing() {
        JoinRig rig;
        rig.owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10)))");
        rig.owner.exec(R"(INSERT INTO "A" VALUES ('1'), ('2'))");
        rig.openChoosing("A", "ID", "A", "ID");
        int prompts = 0;
        rig.dialogs.onShown = [&](const RecordingDialogs::Shown& shown) {
            if (shown.kind != "prompt") return;
            ++prompts;
            rig.startJoining();  // ignored: the first run is still going
        };
        rig.dialogs.promptAnswers << QStringLiteral("R") << QStringLiteral("R");
        rig.startJoining();
        QCOMPARE(prompts, 1);
        rig.dialogs.onShown = nullptr;
        rig.owner.exec(R"(DELETE FROM "A" WHERE "ID" = '2')");
        rig.dialogs.yesNoAnswers << true;
        rig.startJoining();
        QCOMPARE(rig.dialogs.errorBoxes().size(), 0);
        QCOMPARE(rig.stagedRows("R"), (QList<QStringList>{{"1", "1"}}));
        QCOMPARE(rig.owner.rows(R"(SELECT * FROM "R")"), (QList<QStringList>{{"1", "1"}}));
    }

    // The program ending while the run waits for its name (a window was
    // closed): the run stops there and writes nothing more.
    void closingTheWindowStopsTheRun() {
        JoinRig rig;
        rig.owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10)))");
        rig.owner.exec(R"(INSERT INTO "A" VALUES ('1'))");
        rig.openChoosing("A", "ID", "A", "ID");
        rig.dialogs.onShown = [&](const RecordingDialogs::Shown& shown) {
            if (shown.kind == "prompt") rig.context.abandon();
        };
        rig.dialogs.promptAnswers << QStringLiteral("R");
        rig.startJoining();
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.owner.rows("SELECT count(*) FROM user_tables"), (QList<QStringList>{{"1"}}));
        QVERIFY(!StagingTableExists(StagingDatabasePath(rig.programFolder.path()), "R"));
    }

    // A new table named like a staging copy: the join still reads the rows
    // it began with, and the result is whole.
    void newTableNamedLikeAStagingCopy() {
        JoinRig rig;
        rig.owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10), "V" varchar(10)))");
        rig.owner.exec(R"(INSERT INTO "A" VALUES ('1', 'a'), ('2', 'b'))");
        rig.openChoosing("A", "ID", "A", "ID");
        rig.dialogs.promptAnswers << QStringLiteral("table1");
        rig.startJoining();
        QCOMPARE(rig.dialogs.errorBoxes().size(), 0);
        const QList<QStringList> expected{{"1", "a", "1", "a"}, {"2", "b", "2", "b"}};
        QCOMPARE(sorted(rig.owner.rows(R"(SELECT * FROM "table1")")), expected);
        QCOMPARE(sorted(rig.stagedRows("table1")), expected);
    }
};

int runJoinRunTests(int argc, char** argv) {
    TestJoinRun tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "test_join_run.moc"
