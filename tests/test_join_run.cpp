// Whole join runs against the stand-in server, driven headless through a test JoinWindow.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <csignal>
#include <optional>
#include <thread>

#include "base/log_file.h"
#include "base/trapped_handler.h"
#include "db/connection.h"
#include "join/join_lines.h"
#include "join/join_run.h"
#include "join/join_summary.h"
#include "join/staging_database_path.h"
#include "oracle/list_oracle_tables.h"
#include "oracle/list_table_fields.h"
#include "support/held_up_server.h"
#include "support/join_checks.h"
#include "support/join_rig.h"
#include "support/recording_dialogs.h"
#include "support/recording_run_context.h"
#include "support/scoped_environment.h"
#include "support/standin.h"
#include "support/test_join_window.h"
#include "support/wide_tables.h"

namespace {

QList<QStringList> sorted(QList<QStringList> rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The failures the data layer logs while it lives, each from its SQLSTATE
// on: the codes and the driver's words, without what failed.
class LoggedDbFailures final {
public:
    LoggedDbFailures() {
        s_current = this;
        m_previous = qInstallMessageHandler(&LoggedDbFailures::heard);
    }
    ~LoggedDbFailures() {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    LoggedDbFailures(const LoggedDbFailures&) = delete;
    LoggedDbFailures& operator=(const LoggedDbFailures&) = delete;

    QStringList failures;

private:
    static void heard(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        const qsizetype codes = text.indexOf(QStringLiteral(" failed: SQLSTATE "));
        if (qstrcmp(context.category, "quillmere.db") == 0 && codes >= 0)
            s_current->failures << text.mid(codes + 9);
        s_current->m_previous(type, context, text);
    }

    static inline LoggedDbFailures* s_current = nullptr;
    QtMessageHandler m_previous = nullptr;
};

// A join set-up window, without widgets, listing the login's tables.
class JoinRig final : public JoinRigBase {
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

    // A table "A" of one column "ID" holding 1 to rows, chosen on both sides
    // by that field: the self-join that many runs need.
    void openSelfJoin(int rows) {
        owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10)))");
        owner.exec(QStringLiteral(R"(INSERT INTO "A" SELECT g::text FROM generate_series(1, %1) g)")
                       .arg(rows));
        openChoosing("A", "ID", "A", "ID");
    }

    void startJoining() { PushButton2_Click(window, dialogs, context, programFolder.path()); }

    RecordingRunContext context;
    TestJoinWindow window;
};

constexpr auto First = JoinWindow::TableList::First;
constexpr auto Second = JoinWindow::TableList::Second;

// The line numbers of the error boxes shown, in order.
QList<int> reportedLines(const RecordingDialogs& dialogs) {
    static const QRegularExpression line(QStringLiteral(" at line (\\d+)\r\r"));
    QList<int> lines;
    for (const auto& box : dialogs.errorBoxes()) lines << line.match(box.text).captured(1).toInt();
    return lines;
}

// The process may write no file beyond the given size while this lives:
// SQLite then fails as on a full disk. SIGXFSZ is ignored, so the write
// fails instead of ending the process.
class FileSizeLimit final {
public:
    explicit FileSizeLimit(qint64 bytes) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = m_saved;
        lowered.rlim_cur = rlim_t(bytes);
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = SIG_DFL;
};

// A fault made before a run: how it is made, how it is mended after the run
// (if it must be), and whether part of the join is staged before it strikes.
struct Fault {
    void (*make)(JoinRig& rig, std::optional<FileSizeLimit>& limit) = nullptr;
    void (*mend)(JoinRig& rig) = nullptr;
    bool partlyStaged = false;
};

// The process may take no more address space than it holds now and the
// given headroom while this lives: an allocation past it fails as when
// memory runs out.
class AddressSpaceLimit final {
public:
    explicit AddressSpaceLimit(qint64 headroomBytes) {
        getrlimit(RLIMIT_AS, &m_saved);
#if defined(__SANITIZE_ADDRESS__)
        // The sanitizer maps its own memory and ends the process when it
        // cannot: the limit would judge it, not the program.
        return;
#endif
        rlimit lowered = m_saved;
        lowered.rlim_cur = rlim_t(addressSpaceBytes() + headroomBytes);
        setrlimit(RLIMIT_AS, &lowered);
    }
    ~AddressSpaceLimit() { setrlimit(RLIMIT_AS, &m_saved); }
    AddressSpaceLimit(const AddressSpaceLimit&) = delete;
    AddressSpaceLimit& operator=(const AddressSpaceLimit&) = delete;

private:
    static qint64 addressSpaceBytes() {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly)) return 0;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmSize:"))
                return line.mid(7).trimmed().split(' ').value(0).toLongLong() * 1024;
        return 0;
    }
    rlimit m_saved{};
};

// Joins into "R", the server ending the owner's sessions at the first yield
// after the bar has moved the given number of times; whether it did.
// Keeps writing true while the run writes the rows to the server.
void watchWriting(JoinRig& rig, bool& writing) {
    rig.context.onStep = [&writing](int line) {
        if (line == JoinLine::SendRows || line == JoinLine::ResetProgress)
            writing = line == JoinLine::SendRows;
    };
}

bool joinEndingSessionsAfter(JoinRig& rig, int barMoves) {
    bool ended = false;
    rig.context.onYield = [&] {
        if (ended || rig.context.progress.size() < barMoves) return;
        ended = true;
        rig.owner.endSessions();
    };
    rig.dialogs.promptAnswers << QStringLiteral("R");
    rig.startJoining();
    rig.context.onYield = nullptr;
    return ended;
}

}  // namespace

Q_DECLARE_METATYPE(Fault)

class TestJoinRun : public QObject {
    Q_OBJECT

private slots:
    // The new table holds what PostgreSQL itself computes for the full outer
    // join of the same two tables: rows that are alike, Null keys on either
    // side and all, each as often as the join gives it.
    void resultEqualsTheServersFullOuterJoin() {
        JoinRig rig;
        rig.owner.exec(
            R"(CREATE TABLE "Left Side" ("ID" varchar(40), "NAME" varchar(40), "BIG" numeric(38)))");
        rig.owner.exec(R"(INSERT INTO "Left Side" VALUES
            ('1', 'O''Neil', 12345678901234567890123456789012345678),
            ('2', 'NULL', 1), ('2', 'NULL', 1), ('3', 'True', NULL), ('k', 'a''True''b', 2),
            (NULL, 'left without key', 3), (NULL, 'left without key', 3), ('4', 'Grüße 日本', 4),
            ('x|mysepz123|y', 'sep', 5))");
        rig.owner.exec(
            R"(CREATE TABLE "RIGHT" ("REF" varchar(40), "ID" varchar(40), "NOTE" text))");
        rig.owner.exec(R"(INSERT INTO "RIGHT" VALUES
            ('2', 'r2', 'False'), ('3', 'r3', 'three'), ('3', 'r3', 'three'), ('K', 'rK', 'case differs'),
            ('9', 'r9', 'unmatched'), ('9', 'r9', 'unmatched'), (NULL, 'rn', 'right without key'),
            (NULL, 'rn', 'right without key'), ('x|mysepz123|y', 'rs', 'sep too'))");
        rig.openChoosing("Left Side", "ID", "RIGHT", "REF");
        rig.dialogs.promptAnswers << QStringLiteral("Joined");
        rig.startJoining();
        const QList<int>& progress = rig.context.progress;

        QCOMPARE(rig.dialogs.errorBoxes().size(), 0);
        QCOMPARE(rig.dialogs.shown.size(), 1);  // the name prompt, and nothing after it
        QCOMPARE(rig.dialogs.shown.front().text, QStringLiteral("Enter name of new table: "));
        const auto expected = rig.owner.rows(R"(
            SELECT l."ID", l."NAME", l."BIG"::text, r."REF", r."ID", r."NOTE"
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

    // The data layer's paths for drivers unlike the stand-in's own, each
    // taken with its capability switched off in the Oracle-manners driver
    // (a driver without these settings ignores them): the new table still holds
    // what the server computes for the full outer join, every value whole,
    // an empty text arriving as a Null as the program writes it.
    void fallbackPathsGiveTheServersJoin_data() {
        QTest::addColumn<QString>("lacks");
        QTest::addColumn<bool>("serving");  // the calls on the worker, as with a window
        QTest::newRow("driver's own, served") << "" << true;
        QTest::newRow("no GetData in a block") << "OmNoBlockGetData=1;" << false;
        QTest::newRow("no GetData in a block, served") << "OmNoBlockGetData=1;" << true;
        QTest::newRow("no parameter arrays") << "OmNoParamArrays=1;" << false;
        QTest::newRow("no connection-dead answer") << "OmNoConnectionDead=1;" << false;
        QTest::newRow("arrays stopped half-way") << "OmArrayStopsHalfway=1;" << false;
        QTest::newRow("arrays stopped half-way, served") << "OmArrayStopsHalfway=1;" << true;
        // (Lengths unchecked: these show the copy's reads.)
        QTest::newRow("rows of a block not positioned on")
            << "OmNoSetPos=1;OmNoLengthChecks=1;" << false;
        QTest::newRow("rows of a block without data, served")
            << "OmBlockGetDataNoData=1;OmNoLengthChecks=1;" << true;
        QTest::newRow("none of them")
            << "OmNoBlockGetData=1;OmNoParamArrays=1;OmNoConnectionDead=1;" << false;
    }
    void fallbackPathsGiveTheServersJoin() {
        QFETCH(QString, lacks);
        QFETCH(bool, serving);
        JoinRig rig;
        rig.context.serves = serving;
        // Enough rows for several blocks of the copy and several batches of
        // the write; values of 2,000 accented characters and of 1,000
        // four-byte ones (4,000 bytes, the most Oracle takes in a VARCHAR),
        // empty ones, Null keys and values, numbers wide, negative and
        // fractional.
        rig.owner.exec(R"(CREATE TABLE "L" ("ID" varchar(10), "V" text, "N" numeric(38),
                                            "D" numeric(12, 4)))");
        rig.owner.exec(R"(INSERT INTO "L" SELECT CASE WHEN g % 9 = 0 THEN NULL ELSE g::text END,
                                CASE WHEN g % 5 = 0 THEN repeat('ä', 2000)
                                     WHEN g % 11 = 0 THEN repeat('😀', 1000)
                                     WHEN g % 7 = 0 THEN NULL ELSE 'l' || g || ' 😀' END,
                                g * 1000000000000000000000000000,
                                CASE WHEN g % 13 = 0 THEN NULL ELSE (g - 750) / 8.0 END
                           FROM generate_series(1, 1500) g)");
        rig.owner.exec(R"(CREATE TABLE "R" ("REF" varchar(10), "W" text))");
        rig.owner.exec(R"(INSERT INTO "R" SELECT (g * 2)::text, repeat('r', g % 50)
                           FROM generate_series(1, 1000) g)");
        if (!lacks.isEmpty()) rig.form().oracleLogin.driverOptions = lacks;
        rig.openChoosing("L", "ID", "R", "REF");
        rig.dialogs.promptAnswers << QStringLiteral("J");
        rig.startJoining();

        QCOMPARE(rig.dialogs.errorBoxes().size(), 0);
        QCOMPARE(rig.dialogs.shown.size(), 1);  // the name prompt only
        const auto expected = rig.owner.rows(R"(
            SELECT l."ID", NULLIF(l."V", ''), l."N"::text, l."D"::text,
                   r."REF", NULLIF(r."W", '')
              FROM "L" l FULL OUTER JOIN "R" r ON l."ID" = r."REF")");
        // Every left row, and the right rows that match none: 667 even keys
        // up to 1500 are on the left, the multiples of 18 being Null there.
        QCOMPARE(expected.size(), 1500 + 1000 - 667);
        QCOMPARE(sorted(rig.owner.rows(R"(SELECT * FROM "J")")), sorted(expected));
    }

    // Duplicate column names take the suffix, case ignored; without a suffix
    // they take a number.
    void duplicateColumnNames_data() {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<bool>("sameTable");
        QTest::addColumn<QStringList>("columns");
        QTest::newRow("suffix 1") << "1" << false << QStringList{"ID", "Name", "id1", "name1", "X"};
        QTest::newRow("suffix _b")
            << "_b" << false << QStringList{"ID", "Name", "id_b", "name_b", "X"};
        QTest::newRow("same table twice")
            << "2" << true << QStringList{"ID", "Name", "ID2", "Name2"};
        QTest::newRow("same table twice, no suffix")
            << "" << true << QStringList{"ID", "Name", "ID1", "Name1"};
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
        rig.openSelfJoin(1);
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
        CheckSecondClickStartsNothing(rig, nullptr, nullptr);
    }

    // The program ending while the run waits for its name (a window was
    // closed): the run stops there and writes nothing more.
    void closingTheWindowStopsTheRun() {
        JoinRig rig;
        CheckEndingStopsTheRun(rig, [&] { rig.context.abandon(); });
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

    // A step the join builds on fails after an earlier run left its staging
    // tables: the run ends there and nothing reaches the server or the lists.
    void failedStepEndsTheRun_data() {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("line");
        QTest::newRow("login refused")
            << Fault{[](JoinRig& rig, std::optional<FileSizeLimit>&) {
                         rig.form().oracleLogin.password = QStringLiteral("wrong");
                     },
                     nullptr, false}
            << int(JoinLine::CopyTable1);
        QTest::newRow("second table gone")
            << Fault{[](JoinRig& rig, std::optional<FileSizeLimit>&) {
                         rig.owner.exec(R"(DROP TABLE "B")");
                     },
                     nullptr, false}
            << int(JoinLine::CopyTable2);
        // Once the copies are made, nothing more may be written past the
        // file's first 64 KiB, as on a full disk: what fits in room already
        // there goes in, the rest fails.
        QTest::newRow("staging disk full")
            << Fault{[](JoinRig& rig, std::optional<FileSizeLimit>& limit) {
                         rig.dialogs.onShown = [&limit](const RecordingDialogs::Shown& shown) {
                             if (shown.kind == "prompt") limit.emplace(64 * 1024);
                         };
                     },
                     nullptr, true}
            << int(JoinLine::StageResult);
        QTest::newRow("login refused for the write")
            << Fault{[](JoinRig& rig, std::optional<FileSizeLimit>&) {
                         rig.dialogs.onShown = [&rig](const RecordingDialogs::Shown& shown) {
                             if (shown.kind == "prompt")
                                 standin::admin().execute(
                                     QStringLiteral(R"(ALTER ROLE "%1" PASSWORD 'changed')")
                                         .arg(rig.owner.name()));
                         };
                     },
                     [](JoinRig& rig) {
                         standin::admin().execute(QStringLiteral(R"(ALTER ROLE "%1" PASSWORD '%2')")
                                                      .arg(rig.owner.name(), rig.owner.password()));
                     },
                     false}
            << int(JoinLine::OpenOracle);
    }
    void failedStepEndsTheRun() {
        QFETCH(Fault, fault);
        QFETCH(int, line);
        JoinRig rig;
        rig.owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10), "V" text))");
        rig.owner.exec(
            R"(INSERT INTO "A" SELECT g::text, repeat('v', 1000) FROM generate_series(1, 300) g)");
        rig.owner.exec(R"(CREATE TABLE "B" ("ID" varchar(10)))");
        rig.owner.exec(R"(INSERT INTO "B" SELECT g::text FROM generate_series(1, 300) g)");
        rig.openChoosing("A", "ID", "B", "ID");
        rig.dialogs.promptAnswers << QStringLiteral("EARLIER");
        rig.startJoining();
        QCOMPARE(rig.dialogs.errorBoxes().size(), 0);
        const QStringList list1 = rig.form().list1;
        const QStringList list3 = rig.form().list3;
        const QList<int> progress = rig.context.progress;
        rig.dialogs.shown.clear();

        std::optional<FileSizeLimit> limit;
        fault.make(rig, limit);
        rig.dialogs.promptAnswers << QStringLiteral("LATER");
        rig.startJoining();
        limit.reset();

        QCOMPARE(reportedLines(rig.dialogs), QList<int>{line});
        // The name is asked for only when the join could be read.
        QCOMPARE(rig.dialogs.shown.size(), line > 138 ? 2 : 1);
        if (fault.mend) fault.mend(rig);
        QCOMPARE(rig.owner.rows("SELECT count(*) FROM user_tables WHERE table_name = 'LATER'"),
                 (QList<QStringList>{{"0"}}));
        QCOMPARE(rig.form().list1, list1);
        QCOMPARE(rig.form().list3, list3);
        QCOMPARE(rig.context.progress, progress);
        QCOMPARE(rig.form().pointer().pointerState(), PointerState::Default);
        if (fault.partlyStaged) {
            const int staged = rig.stagedRows("LATER").size();
            QVERIFY2(staged > 0 && staged < 300, qPrintable(QString::number(staged)));
        }
    }

    // The Oracle table cannot be made under the new name: the table or view
    // there keeps its rows, gets none of the result, and the lists stay.
    void tableThatCannotBeMade_data() {
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<bool>("listed");
        QTest::addColumn<QList<int>>("lines");
        QTest::newRow("unlisted table")
            << QStringList{R"(CREATE TABLE "R" ("P" varchar(10), "Q" varchar(10)))",
                           R"(INSERT INTO "R" VALUES ('own', 'own'))"}
            << false << QList<int>{JoinLine::CreateOracleTable};
        QTest::newRow("view")
            << QStringList{R"(CREATE TABLE base ("P" varchar(10), "Q" varchar(10)))",
                           R"(INSERT INTO base VALUES ('own', 'own'))",
                           R"(CREATE VIEW "R" AS SELECT * FROM base)"}
            << false << QList<int>{JoinLine::CreateOracleTable};
    }
    void tableThatCannotBeMade() {
        QFETCH(QStringList, setup);
        QFETCH(bool, listed);
        QFETCH(QList<int>, lines);
        JoinRig rig;
        // Two columns, as the table there has: any row would fit into it.
        rig.owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10)))");
        rig.owner.exec(R"(INSERT INTO "A" VALUES ('1'), ('2'))");
        if (!listed) rig.open();
        for (const QString& statement : setup) rig.owner.exec(statement);
        if (listed) rig.open();
        rig.choose(First, "A", "ID");
        rig.choose(Second, "A", "ID");
        const QStringList list1 = rig.form().list1;
        const QStringList list3 = rig.form().list3;
        rig.dialogs.promptAnswers << QStringLiteral("R");
        rig.dialogs.yesNoAnswers << true;
        JoinRunResult result;
        PushButton2_Click(rig.window, rig.dialogs, rig.context, rig.programFolder.path(), &result);

        QCOMPARE(reportedLines(rig.dialogs), lines);
        // The prompt, the question when listed, the error boxes: no count box.
        QCOMPARE(rig.dialogs.shown.size(), 1 + int(listed) + lines.size());
        // The rows were staged all the same, and none written.
        QCOMPARE(result.summary.staged, 2);
        QCOMPARE(result.summary.written, 0);
        QCOMPARE(rig.owner.rows(R"(SELECT * FROM "R")"), (QList<QStringList>{{"own", "own"}}));
        QCOMPARE(rig.form().list1, list1);
        QCOMPARE(rig.form().list3, list3);
        QCOMPARE(rig.form().pointer().pointerState(), PointerState::Default);
    }

    // The listed table dropped behind the program's back before "Overwrite?
    // Yes": the move of the old table fails and is reported, the new table
    // takes the name, and the lists hold the name once.
    void listedTableGoneBeforeTheOverwrite() {
        JoinRig rig;
        rig.owner.exec(R"(CREATE TABLE "R" ("OLD" varchar(10)))");
        rig.openSelfJoin(2);
        rig.owner.exec(R"(DROP TABLE "R")");
        rig.dialogs.promptAnswers << QStringLiteral("R");
        rig.dialogs.yesNoAnswers << true;
        rig.startJoining();

        QCOMPARE(reportedLines(rig.dialogs), QList<int>{JoinLine::DropOracleTable});
        QCOMPARE(rig.owner.rows(R"(SELECT count(*) FROM "R")"), (QList<QStringList>{{"2"}}));
        QCOMPARE(rig.form().list1.count("R"), 1);
        QCOMPARE(rig.form().list3.count("R"), 1);
        QCOMPARE(rig.owner.rows("SELECT count(*) FROM user_tables WHERE table_name LIKE 'QM%'"),
                 (QList<QStringList>{{"0"}}));
    }

    // "Overwrite? Yes" while another session holds the listed table in a
    // transaction for a moment. A server that waits for it swaps the tables
    // then; one that refuses at once, as Oracle does (ORA-00054), leaves the
    // old table where it was and says so. Either way nothing is left under a
    // name of the program's own.
    void overwriteOfATableHeldElsewhere() {
        JoinRig rig;
        rig.owner.exec(R"(CREATE TABLE "R" ("OLD" varchar(10)))");
        rig.owner.exec(R"(INSERT INTO "R" VALUES ('old'))");
        rig.openSelfJoin(3);
        db::Connection holder = rig.owner.connect();
        holder.beginTransaction();
        holder.execute(QStringLiteral(R"(UPDATE "R" SET "OLD" = 'old')"));
        std::thread release([&] {
            QThread::msleep(1500);
            holder.rollback();
        });
        rig.dialogs.promptAnswers << QStringLiteral("R");
        rig.dialogs.yesNoAnswers << true;
        rig.startJoining();
        release.join();

        const QString rows = rig.owner.rows(R"(SELECT count(*) FROM "R")").front().front();
        if (reportedLines(rig.dialogs).isEmpty()) {
            QCOMPARE(rows, QStringLiteral("3"));
        } else {
            QCOMPARE(reportedLines(rig.dialogs), QList<int>{JoinLine::DropOracleTable});
            QVERIFY2(rig.dialogs.errorBoxes().front().text.contains(QStringLiteral("ORA-00054")),
                     qPrintable(rig.dialogs.errorBoxes().front().text));
            QCOMPARE(rows, QStringLiteral("1"));
            QCOMPARE(rig.form().list1.count("R"), 1);
        }
        QCOMPARE(rig.owner.rows("SELECT count(*) FROM user_tables WHERE table_name LIKE 'QM%'"),
                 (QList<QStringList>{{"0"}}));
    }

    // "Overwrite? Yes", and the new table cannot be made (or is refused as
    // beyond the server's limits before the copy), the old one cannot
    // go, rows of the new one are refused, or the connection is lost while
    // the rows are written: the listed table keeps its old rows under its
    // name, the lists stay, and nothing of the attempt is left behind but
    // what a lost connection strands. The closing count says why.
    void overwriteKeepsTheOldTableOnFailure_data() {
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<int>("lostAfterBarMoves");  // 0: the connection stays
        QTest::addColumn<QList<int>>("lines");
        QTest::addColumn<QString>("count");  // the closing count's box; empty: none
        QTest::addColumn<QString>("why");    // in its details
        // Whose limits the new table is beyond: a driver that reports them
        // has the run refused before the copy, and nothing asked.
        QTest::addColumn<QString>("beyondLimitsOf");
        QStringList wide;
        for (const char* table : {"A", "B"}) {
            QStringList columns{QStringLiteral(R"("ID" varchar(10))")};
            for (int c = 0; c < 850; ++c)
                columns << QStringLiteral(R"("%1%2" varchar(1))").arg(QLatin1String(table)).arg(c);
            wide << QStringLiteral(R"(CREATE TABLE "%1" (%2))")
                        .arg(QLatin1String(table), columns.join(QLatin1Char(',')));
            wide << QStringLiteral(R"(INSERT INTO "%1" ("ID") VALUES ('1'))")
                        .arg(QLatin1String(table));
        }
        QTest::newRow("more columns than the server takes")
            << wide << 0 << QList<int>{JoinLine::CreateOracleTable} << QString() << QString()
            << "Oracle";
        const QString longName(63, QLatin1Char('c'));
        QTest::newRow("suffixed name too long")
            << QStringList{QStringLiteral(
                               R"(CREATE TABLE "A" ("ID" varchar(10), "%1" varchar(10)))")
                               .arg(longName),
                           QStringLiteral(
                               R"(CREATE TABLE "B" ("ID" varchar(10), "%1" varchar(10)))")
                               .arg(longName),
                           R"(INSERT INTO "A" VALUES ('1', 'a'))",
                           R"(INSERT INTO "B" VALUES ('1', 'b'))"}
            << 0 << QList<int>{JoinLine::CreateOracleTable} << QString() << QString()
            << "PostgreSQL";
        const QStringList twoTables{
            R"(CREATE TABLE "A" ("ID" varchar(10)))",
            R"(INSERT INTO "A" SELECT g::text FROM generate_series(1, 10) g)",
            R"(CREATE TABLE "B" ("ID" varchar(10)))",
            R"(INSERT INTO "B" SELECT g::text FROM generate_series(1, 10) g)"};
        QTest::newRow("old table cannot go")
            << twoTables + QStringList{R"(CREATE TABLE child ("OLD" varchar(10) REFERENCES "R"))"}
            << 0 << QList<int>{JoinLine::DropOracleTable} << "10 of 10 rows" << QString() << "";
        QTest::newRow("connection lost mid-write")
            << twoTables << 2 << QList<int>{JoinLine::InsertRow} << "10 of 10 rows"
            << "R keeps its old rows: the connection was lost"
            << "";
        const QStringList longValues{
            R"(CREATE TABLE "A" ("ID" varchar(10), "V" text))",
            R"(CREATE TABLE "B" ("ID" varchar(10)))",
            R"(INSERT INTO "B" SELECT g::text FROM generate_series(1, 4) g)"};
        QTest::newRow("every row refused")
            << longValues + QStringList{R"(INSERT INTO "A" SELECT g::text, repeat('x', 2500)
                                                    FROM generate_series(1, 4) g)"}
            << 0 << QList<int>{JoinLine::InsertRow} << "4 of 4 rows"
            << "R keeps its old rows: 4 of the 4 rows could not be written."
            << "";
        QTest::newRow("one row refused")
            << longValues + QStringList{R"(INSERT INTO "A" VALUES ('1', 'a'), ('2', 'b'),
                                                    ('3', repeat('x', 2500)), ('4', 'd'))"}
            << 0 << QList<int>{JoinLine::InsertRow} << "4 of 4 rows"
            << "R keeps its old rows: 1 of the 4 rows could not be written."
            << "";
    }
    void overwriteKeepsTheOldTableOnFailure() {
        QFETCH(QStringList, setup);
        QFETCH(int, lostAfterBarMoves);
        QFETCH(QList<int>, lines);
        QFETCH(QString, count);
        QFETCH(QString, why);
        QFETCH(QString, beyondLimitsOf);
        const bool refusedFirst =
            beyondLimitsOf == (standin::programMeetsOracle() ? "Oracle" : "PostgreSQL");
        if (refusedFirst) lines = {JoinLine::CopyTable1};
        JoinRig rig;
        rig.owner.exec(R"(CREATE TABLE "R" ("OLD" varchar(10) PRIMARY KEY))");
        rig.owner.exec(R"(INSERT INTO "R" VALUES ('old'))");
        for (const QString& statement : setup) rig.owner.exec(statement);
        rig.openChoosing("A", "ID", "B", "ID");
        const QStringList list1 = rig.form().list1;
        const QStringList list3 = rig.form().list3;
        rig.dialogs.yesNoAnswers << true;
        if (lostAfterBarMoves > 0) {
            QVERIFY(joinEndingSessionsAfter(rig, lostAfterBarMoves));
        } else {
            rig.dialogs.promptAnswers << QStringLiteral("R");
            rig.startJoining();
        }

        QCOMPARE(reportedLines(rig.dialogs), lines);
        QCOMPARE(rig.owner.rows(R"(SELECT * FROM "R")"), (QList<QStringList>{{"old"}}));
        QCOMPARE(rig.form().list1, list1);
        QCOMPARE(rig.form().list3, list3);
        const RecordingDialogs::Shown& last = rig.dialogs.shown.back();
        if (!count.isEmpty()) {
            QVERIFY2(last.text.startsWith(count), qPrintable(last.text));
            QVERIFY2(last.details.startsWith(why), qPrintable(last.details));
        } else {
            // The prompt and the question, unless refused before them; the errors.
            QCOMPARE(rig.dialogs.shown.size(), (refusedFirst ? 0 : 2) + lines.size());
        }
        const QString strays = rig.owner
                                   .rows(R"(SELECT count(*) FROM user_tables
                                             WHERE table_name NOT IN ('A', 'B', 'R', 'child'))")
                                   .front()
                                   .front();
        QCOMPARE(strays, lostAfterBarMoves > 0 ? QStringLiteral("1") : QStringLiteral("0"));
        QCOMPARE(rig.form().pointer().pointerState(), PointerState::Default);
    }

    // What the server cannot take is refused before the work it would undo,
    // in a box that names the limit: a join with more columns than a table
    // takes, or a column name over the limit once suffixed, before anything
    // is copied; a table name over the limit at the prompt, before the
    // overwrite question. Names are measured in bytes. Oracle's limits here
    // are 1,000 columns and names of 30 bytes; psqlODBC reports no column
    // limit and names of 63 bytes, past which PostgreSQL would cut a name.
    void refusedBeyondTheServersLimits_data() {
        QTest::addColumn<int>("columnsA");  // besides ID
        QTest::addColumn<int>("columnsB");
        QTest::addColumn<QString>("shared");     // a column of both tables: B's takes the suffix
        QTest::addColumn<QString>("name");       // typed at the prompt
        QTest::addColumn<bool>("listed");        // a table of that name is listed
        QTest::addColumn<int>("line");           // refused there under Oracle's limits; 0: made
        QTest::addColumn<QString>("limit");      // Oracle's, as the box gives it
        QTest::addColumn<bool>("alsoPostgres");  // refused under psqlODBC's limits too
        const QString columns = QStringLiteral("at most 1000 columns");
        const QString names = QStringLiteral("names of at most 30 bytes");
        const auto c = [](int n) { return QString(n, QLatin1Char('C')); };
        const auto t = [](int n) { return QString(n, QLatin1Char('T')); };
        QTest::newRow("1,000 columns") << 499 << 499 << ""
                                       << "R" << false << 0 << "" << false;
        QTest::newRow("1,001 columns")
            << 499 << 500 << ""
            << "R" << false << int(JoinLine::CopyTable1) << columns << false;
        QTest::newRow("suffixed column name of 30 bytes")
            << 0 << 0 << c(29) << "R" << false << 0 << "" << false;
        QTest::newRow("suffixed column name of 31 bytes")
            << 0 << 0 << c(30) << "R" << false << int(JoinLine::CopyTable1) << names << false;
        QTest::newRow("column name of 16 characters in 32 bytes")
            << 0 << 0 << QStringLiteral("ä").repeated(16) << "R" << false
            << int(JoinLine::CopyTable1) << names << false;
        QTest::newRow("suffixed column name of 64 bytes")
            << 0 << 0 << c(63) << "R" << false << int(JoinLine::CopyTable1) << names << true;
        QTest::newRow("table name of 30 bytes")
            << 0 << 0 << "" << t(30) << false << 0 << "" << false;
        QTest::newRow("table name of 31 bytes")
            << 0 << 0 << "" << t(31) << false << int(JoinLine::AskTableName) << names << false;
        QTest::newRow("table name of 11 characters in 33 bytes")
            << 0 << 0 << "" << QStringLiteral("中").repeated(11) << false
            << int(JoinLine::AskTableName) << names << false;
        QTest::newRow("table name of 64 bytes")
            << 0 << 0 << "" << t(64) << false << int(JoinLine::AskTableName) << names << true;
        QTest::newRow("listed table's name of 31 bytes")
            << 0 << 0 << "" << t(31) << true << int(JoinLine::AskTableName) << names << false;
    }
    void refusedBeyondTheServersLimits() {
        QFETCH(int, columnsA);
        QFETCH(int, columnsB);
        QFETCH(QString, shared);
        QFETCH(QString, name);
        QFETCH(bool, listed);
        QFETCH(int, line);
        QFETCH(QString, limit);
        QFETCH(bool, alsoPostgres);
        JoinRig rig;
        rig.form().oracleLogin.driverOptions = QStringLiteral("OmNameLimit=30;");
        MakeWideTables(rig.owner, columnsA, columnsB, shared);
        if (listed) {
            rig.owner.exec(QStringLiteral(R"(CREATE TABLE "%1" ("OLD" varchar(10)))").arg(name));
            rig.owner.exec(QStringLiteral(R"(INSERT INTO "%1" VALUES ('old'))").arg(name));
        }
        rig.openChoosing("A", "ID", "B", "ID");
        const QStringList list1 = rig.form().list1;
        rig.dialogs.promptAnswers << name;
        rig.dialogs.yesNoAnswers << true;
        rig.startJoining();

        const bool oracle = standin::programMeetsOracle();
        const QString table = QStringLiteral(R"("%1")").arg(name);
        if (!oracle && !alsoPostgres) line = 0;
        if (line == 0) {
            QCOMPARE(rig.dialogs.errorBoxes().size(), 0);
            QCOMPARE(rig.owner.rows(QStringLiteral("SELECT count(*) FROM ") + table),
                     (QList<QStringList>{{"1"}}));
            return;
        }
        QCOMPARE(reportedLines(rig.dialogs), QList<int>{line});
        if (!oracle) limit.replace(QStringLiteral("30"), QStringLiteral("63"));
        const QString text = rig.dialogs.errorBoxes().front().text;
        QVERIFY2(text.contains(limit), qPrintable(text));
        // Before the copy not even the name is asked for; after the name,
        // no question.
        QCOMPARE(rig.dialogs.shown.size(), line == JoinLine::CopyTable1 ? 1 : 2);
        const QString staging = StagingDatabasePath(rig.programFolder.path());
        QCOMPARE(StagingTableExists(staging, QStringLiteral("Table1")),
                 line != JoinLine::CopyTable1);
        QVERIFY(!StagingTableExists(staging, name));
        QCOMPARE(rig.owner.rows("SELECT count(*) FROM user_tables"),
                 (QList<QStringList>{{listed ? "3" : "2"}}));
        if (listed)
            QCOMPARE(rig.owner.rows(QStringLiteral("SELECT * FROM ") + table),
                     (QList<QStringList>{{"old"}}));
        QCOMPARE(rig.form().list1, list1);
        QCOMPARE(rig.form().pointer().pointerState(), PointerState::Default);
    }

    // The window closed while the tables are swapped, each move slow on the
    // server: the moves are not cancelled, so the listed name ends up
    // holding the new rows, and no table is left under a name of its own.
    void closedWhileTheTablesAreSwapped() {
        JoinRig rig;
        rig.context.serves = true;
        rig.owner.exec(R"(CREATE TABLE "R" ("OLD" varchar(10)))");
        rig.owner.exec(R"(INSERT INTO "R" VALUES ('old'))");
        rig.openSelfJoin(3);
        MakeTableMovesSlow(rig.owner, 0.3);
        bool swapping = false;
        int calls = 0;
        rig.context.onStep = [&](int line) { swapping = line == JoinLine::DropOracleTable; };
        // The second rename: the old table has left the name, the new one
        // is to take it.
        rig.context.onServerCall = [&] {
            if (swapping && ++calls == 3) rig.context.abandon();
        };
        rig.dialogs.promptAnswers << QStringLiteral("R");
        rig.dialogs.yesNoAnswers << true;
        rig.startJoining();

        QVERIFY(rig.context.abandoned());
        QCOMPARE(sorted(rig.owner.rows(R"(SELECT "ID" FROM "R")")),
                 (QList<QStringList>{{"1"}, {"2"}, {"3"}}));
        QCOMPARE(rig.owner.rows("SELECT count(*) FROM user_tables WHERE table_name LIKE 'QM%'"),
                 (QList<QStringList>{{"0"}}));
    }

    // The program killed at each step of an overwrite: the next run of the
    // same login settles the tables the killed one left, before it does
    // anything else. The listed name holds the old rows, or the new ones
    // once they had taken it, and nothing else is left.
    void killedOverwriteSettledByTheNextRun_data() {
        QTest::addColumn<int>("barMoves");    // killed while the rows are written
        QTest::addColumn<int>("swapCalls");   // killed before this call of the swap
        QTest::addColumn<QString>("listed");  // the rows "R" holds at the end
        QTest::newRow("writing") << 3 << 0 << "1";
        QTest::newRow("before the old table moves") << 0 << 1 << "1";
        QTest::newRow("before the new table takes the name") << 0 << 3 << "1";
        QTest::newRow("before the old table is dropped") << 0 << 5 << "3000";
    }
    void killedOverwriteSettledByTheNextRun() {
        QFETCH(int, barMoves);
        QFETCH(int, swapCalls);
        QFETCH(QString, listed);
        JoinRig rig;
        rig.owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10)))");
        rig.owner.exec(R"(INSERT INTO "A" SELECT g::text FROM generate_series(1, 3000) g)");
        rig.owner.exec(R"(CREATE TABLE "R" ("OLD" varchar(10)))");
        rig.owner.exec(R"(INSERT INTO "R" VALUES ('old'))");
        rig.openChoosing("A", "ID", "A", "ID");
        rig.dialogs.promptAnswers << QStringLiteral("R");
        rig.dialogs.yesNoAnswers << true;
        std::fflush(nullptr);
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            bool swapping = false;
            int calls = 0;
            rig.context.onStep = [&](int line) { swapping = line == JoinLine::DropOracleTable; };
            rig.context.onYield = [&] {
                if (barMoves > 0 && rig.context.progress.size() >= barMoves)
                    ::kill(::getpid(), SIGKILL);
            };
            // A statement is a call, and freeing its handle another.
            rig.context.onServerCall = [&] {
                if (swapping && ++calls == swapCalls) ::kill(::getpid(), SIGKILL);
            };
            rig.startJoining();
            ::_exit(0);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        QVERIFY(!rig.owner.rows("SELECT table_name FROM user_tables WHERE table_name LIKE 'QM%'")
                     .isEmpty());
        // Killed while the rows were written, the listed table still holds
        // its old rows under its name.
        if (barMoves > 0)
            QCOMPARE(rig.owner.rows(R"(SELECT * FROM "R")"), (QList<QStringList>{{"old"}}));

        // The next run writes another table; it settles the earlier one's first.
        rig.dialogs.promptAnswers = {std::optional<QString>(QStringLiteral("S"))};
        rig.startJoining();
        QCOMPARE(rig.dialogs.errorBoxes().size(), 0);
        QCOMPARE(rig.owner.rows(R"(SELECT count(*) FROM "R")"), (QList<QStringList>{{listed}}));
        QCOMPARE(rig.owner.rows("SELECT count(*) FROM user_tables WHERE table_name LIKE 'QM%'"),
                 (QList<QStringList>{{"0"}}));
        QVERIFY(!QFile::exists(StagingDatabasePath(rig.programFolder.path()) + ".overwrites"));
    }

    // Every call of the write slow, as on a busy machine: the arrays still
    // grow to their steady size rather than shrink toward single rows, each
    // one call to the server; so too with a driver that leaves the arrays'
    // statuses as they were.
    void slowCallsKeepTheArraysSteady_data() {
        QTest::addColumn<QString>("driverOptions");
        QTest::newRow("statuses filled") << "";
        QTest::newRow("statuses left untouched") << "OmArrayStatus=untouched;";
    }
    void slowCallsKeepTheArraysSteady() {
        QFETCH(QString, driverOptions);
        JoinRig rig;
        rig.form().oracleLogin.driverOptions = driverOptions;
        rig.openSelfJoin(300);
        bool writing = false;
        int writeCalls = 0;
        watchWriting(rig, writing);
        rig.context.onServerCall = [&] {
            if (!writing) return;
            ++writeCalls;
            QThread::msleep(100);
        };
        rig.dialogs.promptAnswers << QStringLiteral("R");
        rig.startJoining();
        QCOMPARE(rig.dialogs.errorBoxes().size(), 0);
        QCOMPARE(rig.owner.rows(R"(SELECT count(*) FROM "R")"), (QList<QStringList>{{"300"}}));
        // Arrays of 1, 2, 4, ... 256 rows; the prepare and the table's
        // statement handles are calls of their own.
        QVERIFY2(writeCalls <= 12, qPrintable(QString::number(writeCalls)));
    }

    // The window closed while the write reads the next rows, a batch being
    // with the server: the run stops, and its summary counts exactly the rows
    // the new table holds, that batch's among them if it was committed.
    void closedWhileABatchIsWithTheServer() {
        QTemporaryDir logDir;
        const QString logPath = logDir.filePath(QStringLiteral("quillmere.log"));
        InstallLogFile(logPath);
        const auto uninstall = qScopeGuard([] { UninstallLogFile(); });
        JoinRig rig;
        rig.context.serves = true;
        rig.openSelfJoin(6000);
        bool writing = false;
        int calls = 0;
        int yieldsSinceCall = 0;
        watchWriting(rig, writing);
        rig.context.onServerCall = [&] {
            if (!writing) return;
            ++calls;
            yieldsSinceCall = 0;
        };
        // Past the arrays' growth (2,047 rows), reading the rows of the next
        // array while a full one is with the server.
        rig.context.onYield = [&] {
            if (writing && calls == 13 && ++yieldsSinceCall == 500) rig.context.abandon();
        };
        rig.dialogs.promptAnswers << QStringLiteral("R");
        rig.startJoining();

        const int inTable = rig.owner.rows(R"(SELECT count(*) FROM "R")").front().front().toInt();
        QVERIFY2(inTable > 2000 && inTable < 6000, qPrintable(QString::number(inTable)));
        QFile log(logPath);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(log.readAll());
        static const QRegularExpression written(QStringLiteral(R"(join run: .* written (\d+),)"));
        const QRegularExpressionMatch match = written.match(text);
        QVERIFY2(match.hasMatch(), qPrintable(text));
        QCOMPARE(match.captured(1).toInt(), inTable);
    }

    // The window closed while a batch's commit is slow on the server (a
    // check deferred to the commit): the close waits for the commit rather
    // than cancel it, which on Oracle would stop the commit too, and the
    // summary counts the rows the commit took in, as the log says.
    void closedDuringACommit() {
        QTemporaryDir logDir;
        const QString logPath = logDir.filePath(QStringLiteral("quillmere.log"));
        InstallLogFile(logPath);
        const auto uninstall = qScopeGuard([] { UninstallLogFile(); });
        JoinRig rig;
        rig.context.serves = true;
        rig.openSelfJoin(3);
        MakeCommitsSlow(rig.owner, 0.8);
        bool writing = false;
        QElapsedTimer sinceWriting;
        rig.context.onStep = [&](int line) {
            if (line == JoinLine::SendRows) {
                writing = true;
                sinceWriting.start();
            }
        };
        rig.context.onYield = [&] {
            if (writing && sinceWriting.elapsed() > 300) rig.context.abandon();
        };
        rig.dialogs.promptAnswers << QStringLiteral("R");
        rig.startJoining();

        QVERIFY(rig.context.abandoned());
        const int inTable = rig.owner.rows(R"(SELECT count(*) FROM "R")").front().front().toInt();
        QVERIFY2(inTable > 0, qPrintable(QString::number(inTable)));
        QFile log(logPath);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(log.readAll());
        static const QRegularExpression written(QStringLiteral(R"(join run: .* written (\d+),)"));
        const QRegularExpressionMatch match = written.match(text);
        QVERIFY2(match.hasMatch(), qPrintable(text));
        QCOMPARE(match.captured(1).toInt(), inTable);
        QVERIFY2(text.contains(QStringLiteral("%1 rows were with the server as the run ended: "
                                              "committed")
                                   .arg(inTable)),
                 qPrintable(text));
    }

    // Names the engine cannot read bare, a point inside a name, and suffixes
    // that clash again: the result has every row and a unique name for each
    // column. Table A is joined with table B, or with itself.
    void awkwardNames_data() {
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<QString>("field1");
        QTest::addColumn<QString>("table2");
        QTest::addColumn<QString>("field2");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<QStringList>>("rows");
        const QList<QStringList> joined{
            {"1", "a", "1", "x"}, {"2", "b", "<null>", "<null>"}, {"<null>", "<null>", "3", "y"}};
        for (const QString field : {"EMP#", "MY F", "LIMIT"})
            QTest::addRow("join field %s", qPrintable(field))
                << QStringList{QStringLiteral(
                                   R"(CREATE TABLE "A" ("%1" varchar(10), "V" varchar(10)))")
                                   .arg(field),
                               QStringLiteral(
                                   R"(CREATE TABLE "B" ("%1" varchar(10), "W" varchar(10)))")
                                   .arg(field),
                               R"(INSERT INTO "A" VALUES ('1', 'a'), ('2', 'b'))",
                               R"(INSERT INTO "B" VALUES ('1', 'x'), ('3', 'y'))"}
                << field << "B" << field << "1" << QStringList{field, "V", field + "1", "W"}
                << joined;
        QTest::newRow("point in a column name")
            << QStringList{R"(CREATE TABLE "A" ("ID" varchar(10), "A.B" varchar(10), "B" varchar(10)))",
                           R"(CREATE TABLE "B" ("ID" varchar(10)))",
                           R"(INSERT INTO "A" VALUES ('1', 'ab', 'b'))",
                           R"(INSERT INTO "B" VALUES ('1'), ('2'))"}
            << "ID"
            << "B"
            << "ID"
            << "1" << QStringList{"ID", "A.B", "B", "ID1"}
            << QList<QStringList>{{"1", "ab", "b", "1"}, {"<null>", "<null>", "<null>", "2"}};
        const QStringList idAndId1{R"(CREATE TABLE "A" ("ID" varchar(10), "ID1" varchar(10)))",
                                   R"(INSERT INTO "A" VALUES ('1', 'one'))"};
        QTest::newRow("self-join of ID and ID1") << idAndId1 << "ID"
                                                 << "A"
                                                 << "ID"
                                                 << "1" << QStringList{"ID", "ID1", "ID11", "ID111"}
                                                 << QList<QStringList>{{"1", "one", "1", "one"}};
        QTest::newRow("self-join of ID and ID1, no suffix")
            << idAndId1 << "ID"
            << "A"
            << "ID"
            << "" << QStringList{"ID", "ID1", "ID2", "ID11"}
            << QList<QStringList>{{"1", "one", "1", "one"}};
    }
    void awkwardNames() {
        QFETCH(QStringList, setup);
        QFETCH(QString, field1);
        QFETCH(QString, table2);
        QFETCH(QString, field2);
        QFETCH(QString, suffix);
        QFETCH(QStringList, names);
        QFETCH(QList<QStringList>, rows);
        JoinRig rig;
        for (const QString& statement : setup) rig.owner.exec(statement);
        rig.openChoosing("A", field1, table2, field2);
        rig.form().suffixText = suffix;
        rig.dialogs.promptAnswers << QStringLiteral("R");
        rig.startJoining();
        QCOMPARE(rig.dialogs.errorBoxes().size(), 0);
        QStringList columns;
        for (const auto& row : rig.owner.rows("SELECT column_name FROM information_schema.columns "
                                              "WHERE table_name = 'R' ORDER BY ordinal_position"))
            columns << row.front();
        QCOMPARE(columns, names);
        QCOMPARE(sorted(rig.owner.rows(R"(SELECT * FROM "R")")), sorted(rows));
    }

    // Rows the server refuses: one box for the first, none for the next, and
    // a closing count of what is missing; every other row arrives.
    void rowsThatCannotBeWritten() {
        JoinRig rig;
        rig.owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10), "V" text))");
        rig.owner.exec(R"(INSERT INTO "A" VALUES ('1', 'a'), ('2', repeat('x', 2500)), ('3', 'c'),
                                                 ('4', repeat('y', 3000)), ('5', 'e'))");
        rig.owner.exec(R"(CREATE TABLE "B" ("ID" varchar(10)))");
        rig.owner.exec(R"(INSERT INTO "B" VALUES ('1'), ('2'), ('3'), ('4'), ('5'))");
        rig.openChoosing("A", "ID", "B", "ID");
        rig.dialogs.promptAnswers << QStringLiteral("R");
        rig.startJoining();

        QCOMPARE(reportedLines(rig.dialogs), QList<int>{JoinLine::InsertRow});
        const auto& last = rig.dialogs.shown.back();
        QCOMPARE(last.text, QStringLiteral("2 of 5 rows could not be written to R."));
        QCOMPARE(last.caption, QString());
        QCOMPARE(last.icon, Dialogs::Icon::Information);
        QCOMPARE(rig.dialogs.shown.size(), 3);  // the prompt, one error box, the count
        QCOMPARE(sorted(rig.owner.rows(R"(SELECT "ID", "V", "ID1" FROM "R")")),
                 (QList<QStringList>{{"1", "a", "1"}, {"3", "c", "3"}, {"5", "e", "5"}}));
        QVERIFY(rig.form().list1.contains("R"));
        QCOMPARE(rig.form().pointer().pointerState(), PointerState::Default);
    }

    // A VARCHAR(2000) column holds 2,000 characters, however many bytes
    // they take: 700 Chinese characters (2,100 bytes) arrive whole. Oracle
    // takes no more than 4,000 bytes all the same: 1,500 of them (4,500
    // bytes) are refused and counted, where PostgreSQL takes them.
    void columnsHoldCharactersNotBytes() {
        JoinRig rig;
        rig.owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10), "V" text))");
        rig.owner.exec(
            R"(INSERT INTO "A" VALUES ('1', repeat('中', 700)), ('2', repeat('中', 1500)),
                                                 ('3', 'c'))");
        rig.owner.exec(R"(CREATE TABLE "B" ("ID" varchar(10)))");
        rig.owner.exec(R"(INSERT INTO "B" VALUES ('1'), ('2'), ('3'))");
        rig.openChoosing("A", "ID", "B", "ID");
        rig.dialogs.promptAnswers << QStringLiteral("R");
        rig.startJoining();

        const QString wide = QStringLiteral("中").repeated(1500);
        QList<QStringList> arrived{{"1", QStringLiteral("中").repeated(700)}, {"3", "c"}};
        if (standin::programMeetsOracle()) {
            QCOMPARE(reportedLines(rig.dialogs), QList<int>{JoinLine::InsertRow});
            QCOMPARE(rig.dialogs.shown.back().text,
                     QStringLiteral("1 of 3 rows could not be written to R."));
        } else {
            QCOMPARE(rig.dialogs.errorBoxes().size(), 0);
            arrived.insert(1, {"2", wide});
        }
        QCOMPARE(sorted(rig.owner.rows(R"(SELECT "ID", "V" FROM "R")")), arrived);
    }

    // Every run leaves one summary in the log, however it ends, and the
    // summary is there before the closing count's box opens.
    void runSummaryLogged() {
        QTemporaryDir logDir;
        const QString logPath = logDir.filePath(QStringLiteral("quillmere.log"));
        InstallLogFile(logPath);
        const auto uninstall = qScopeGuard([] { UninstallLogFile(); });
        const auto logText = [&] {
            QFile file(logPath);
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        };
        JoinRig rig;
        rig.owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10), "V" text))");
        rig.owner.exec(
            R"(INSERT INTO "A" VALUES ('1', 'a'), ('2', repeat('x', 2500)), ('3', 'c'))");
        rig.owner.exec(R"(CREATE TABLE "B" ("ID" varchar(10)))");
        rig.owner.exec(R"(INSERT INTO "B" VALUES ('1'), ('2'), ('3'), ('4'))");
        rig.openChoosing("A", "ID", "B", "ID");

        rig.dialogs.promptAnswers << QString();
        rig.startJoining();
        static const QRegularExpression cancelled(QStringLiteral(
            R"(info quillmere\.join: join run: A with B into -: rows copied 3 and 4, staged -, )"
            R"(written -, missing -; seconds: copy \d+\.\d{3}, join \d+\.\d{3}, stage 0\.000, )"
            R"(write 0\.000\n)"));
        QVERIFY2(cancelled.match(logText()).hasMatch(), qPrintable(logText()));

        QString logAtCountBox;
        // A "%" in a name stays itself in the summary.
        rig.dialogs.promptAnswers << QStringLiteral("R%1");
        rig.dialogs.onShown = [&](const RecordingDialogs::Shown& box) {
            if (box.text.contains(QStringLiteral("could not be written")))
                logAtCountBox = logText();
        };
        rig.startJoining();
        QCOMPARE(rig.dialogs.shown.back().text,
                 QStringLiteral("1 of 4 rows could not be written to R%1."));
        const QString written = QStringLiteral(
            "join run: A with B into R%1: rows copied 3 and 4, staged 4, written 3, missing 1; ");
        QVERIFY2(logAtCountBox.contains(written), qPrintable(logAtCountBox));
        QCOMPARE(logText().count(QStringLiteral("join run: ")), 2);
        // The refused row's reason is in the log, the box shows it as before.
        static const QRegularExpression refused(
            QStringLiteral(R"(warning quillmere\.db: .* failed: SQLSTATE \S+ native code )"));
        QVERIFY2(refused.match(logText()).hasMatch(), qPrintable(logText()));
    }

    // Rows go to the server in batches: a row the server refuses in the
    // middle of a large batch costs only itself, reported once and counted,
    // also while the next batch is read as one is with the server.
    void failingRowInsideABatch_data() {
        QTest::addColumn<bool>("serving");
        QTest::newRow("here") << false;
        QTest::newRow("served") << true;
    }
    void failingRowInsideABatch() {
        QFETCH(bool, serving);
        JoinRig rig;
        rig.context.serves = serving;
        rig.owner.exec(R"(CREATE TABLE "A" ("ID" integer, "V" text))");
        rig.owner.exec(R"(INSERT INTO "A" SELECT g, CASE WHEN g = 700 THEN repeat('x', 2001)
                                                       ELSE 'v' || g END
                            FROM generate_series(1, 1000) g)");
        rig.openChoosing("A", "ID", "A", "ID");
        rig.dialogs.promptAnswers << QStringLiteral("R");
        rig.startJoining();

        QCOMPARE(reportedLines(rig.dialogs), QList<int>{JoinLine::InsertRow});
        QCOMPARE(rig.dialogs.shown.back().text,
                 QStringLiteral("1 of 1000 rows could not be written to R."));
        QCOMPARE(rig.owner.rows(R"(SELECT count(*), count(DISTINCT "ID"), min("ID"::int),
                                          max("ID"::int), sum("ID"::int) FROM "R")"),
                 (QList<QStringList>{{"999", "999", "1", "1000", QString::number(500500 - 700)}}));
        QCOMPARE(rig.owner.rows(R"(SELECT count(*) FROM "R" WHERE "V" <> 'v' || "ID")"),
                 (QList<QStringList>{{"0"}}));
        QCOMPARE(rig.context.progress.back(), 0);
        QCOMPARE(rig.context.progress.at(rig.context.progress.size() - 2), 100);
    }

    // Counting the staged rows before the write serves the window while it
    // counts, however many rows there are.
    void stagedRowCountServesTheWindow() {
        JoinRig rig;
        rig.owner.exec(R"(CREATE TABLE "A" ("ID" integer))");
        rig.owner.exec(R"(INSERT INTO "A" SELECT g FROM generate_series(1, 30000) g)");
        rig.openChoosing("A", "ID", "A", "ID");
        int line = 0;
        int yieldsWhileCounting = 0;
        rig.context.onStep = [&](int started) { line = started; };
        rig.context.onYield = [&] {
            if (line == 314) ++yieldsWhileCounting;
        };
        rig.dialogs.promptAnswers << QStringLiteral("R");
        rig.startJoining();
        rig.context.onStep = nullptr;
        rig.context.onYield = nullptr;

        QCOMPARE(rig.dialogs.errorBoxes().size(), 0);
        QCOMPARE(rig.owner.rows(R"(SELECT count(*) FROM "R")"), (QList<QStringList>{{"30000"}}));
        QVERIFY2(yieldsWhileCounting > 10, qPrintable(QString::number(yieldsWhileCounting)));
    }

    // Two values of megabytes among thousands of rows. The write's buffers
    // stay within their bound, however long one value is, so the run fits
    // in a gigabyte more than the process holds; every other row arrives,
    // and the two long ones fail only on the server's length and are counted.
    void longValuesAmongManyRows() {
        JoinRig rig;
        rig.owner.exec(R"(CREATE TABLE "A" ("ID" integer, "V" text))");
        rig.owner.exec(R"(INSERT INTO "A" SELECT g, CASE WHEN g = 1500 THEN repeat('x', 3000000)
                                                       WHEN g = 2500 THEN repeat('y', 2000000)
                                                       ELSE 'v' || g END
                            FROM generate_series(1, 3000) g)");
        rig.owner.exec(R"(CREATE TABLE "B" ("ID" integer))");
        rig.owner.exec(R"(INSERT INTO "B" SELECT g FROM generate_series(1, 3000) g)");
        rig.openChoosing("A", "ID", "B", "ID");
        rig.dialogs.promptAnswers << QStringLiteral("R");
        {
            const AddressSpaceLimit limit(qint64(1) << 30);
            rig.startJoining();
        }

        QCOMPARE(reportedLines(rig.dialogs), QList<int>{JoinLine::InsertRow});
        // The server's own words: PostgreSQL's, or Oracle's (ORA-12899).
        const QString refused = rig.dialogs.errorBoxes().front().text;
        QVERIFY2(
            refused.contains(QStringLiteral("value too long for type character varying(2000)")) ||
                refused.contains(QStringLiteral("ORA-12899: value too large for column")),
            qPrintable(refused));
        QCOMPARE(rig.dialogs.shown.back().text,
                 QStringLiteral("2 of 3000 rows could not be written to R."));
        QCOMPARE(rig.owner.rows(
                     R"(SELECT count(*), sum("ID"::int), count(*) FILTER (WHERE "V" = 'v' || "ID"
                                                                            AND "ID1" = "ID")
                                   FROM "R")"),
                 (QList<QStringList>{{"2998", QString::number(4501500 - 1500 - 2500), "2998"}}));
    }

    // The server ends the program's session while rows are written: one box,
    // no row tried after it, and the count names every row that is missing.
    void connectionLostDuringTheWrite() {
        JoinRig rig;
        rig.openSelfJoin(10);
        // After the first row, before the second.
        QVERIFY(joinEndingSessionsAfter(rig, 1));
        QCOMPARE(rig.owner.rows(R"(SELECT * FROM "R")"), (QList<QStringList>{{"1", "1"}}));
        const QList<int> lines = reportedLines(rig.dialogs);
        QVERIFY(!lines.isEmpty());
        QCOMPARE(lines.front(), 348);
        QCOMPARE(rig.dialogs.shown.back().text,
                 QStringLiteral("9 of 10 rows could not be written to R."));
        QCOMPARE(rig.dialogs.shown.back().icon, Dialogs::Icon::Information);
        // The server's own answer (57P01) is taken for a lost connection: one
        // box, and no row tried after it.
        QCOMPARE(lines, QList<int>{JoinLine::InsertRow});
        QCOMPARE(rig.context.progress, (QList<int>{10, 20, 0}));
        QCOMPARE(rig.form().pointer().pointerState(), PointerState::Default);
    }

    // The server ends the session between two batches, after a few have
    // gone: the failure that follows means a lost connection whatever the
    // driver answers when asked whether it is dead. No row after the one
    // that met it is tried, so the bar stops there. Nothing more reaches the
    // driver: every failure after it is that first one again, and the one
    // box carries it, not the driver's later words about the dead link.
    void connectionLostBetweenBatches_data() {
        QTest::addColumn<QString>("lacks");
        QTest::addColumn<bool>("serving");
        QTest::newRow("driver's own") << "" << false;
        QTest::newRow("driver's own, served") << "" << true;
        QTest::newRow("no connection-dead answer") << "OmNoConnectionDead=1;" << false;
        QTest::newRow("no parameter arrays either")
            << "OmNoConnectionDead=1;OmNoParamArrays=1;" << false;
    }
    void connectionLostBetweenBatches() {
        QFETCH(QString, lacks);
        QFETCH(bool, serving);
        JoinRig rig;
        rig.context.serves = serving;
        if (!lacks.isEmpty()) rig.form().oracleLogin.driverOptions = lacks;
        rig.openSelfJoin(3000);
        std::optional<LoggedDbFailures> logged(std::in_place);
        QVERIFY(joinEndingSessionsAfter(rig, 3));
        const QStringList failures = logged->failures;
        logged.reset();
        const int written = rig.owner.rows(R"(SELECT count(*) FROM "R")").front().front().toInt();
        QVERIFY2(written > 0 && written < 3000, qPrintable(QString::number(written)));
        QCOMPARE(reportedLines(rig.dialogs), QList<int>{JoinLine::InsertRow});
        QVERIFY(!failures.isEmpty());
        for (const QString& failure : failures) QCOMPARE(failure, failures.front());
        const QString words = failures.front().mid(failures.front().indexOf("message: ") + 9);
        const QString box = rig.dialogs.errorBoxes().front().text;
        QVERIFY2(box.startsWith(words + QStringLiteral("\r\nin ")), qPrintable(box));
        QCOMPARE(rig.dialogs.shown.back().text,
                 QStringLiteral("%1 of 3000 rows could not be written to R.").arg(3000 - written));
        // The last row shown on the bar is the one after the written ones.
        const QList<int>& progress = rig.context.progress;
        QCOMPARE(progress.back(), 0);
        QCOMPARE(progress.at(progress.size() - 2), int((written + 1) / 30.0 + 0.5));
    }

    // A new name that is not valid text (a lone surrogate) is refused with a
    // message of its own: nothing is made, nothing listed. A whole surrogate
    // pair is a character like any other and lands as listed.
    void newTableNameThatIsNotValidText_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("refused");
        QTest::newRow("lone high surrogate") << QStringLiteral("R") + QChar(0xD83D) << true;
        QTest::newRow("lone low surrogate") << QChar(0xDE00) + QStringLiteral("R") << true;
        QTest::newRow("pair reversed")
            << QStringLiteral("R") + QChar(0xDE00) + QChar(0xD83D) << true;
        QTest::newRow("whole pair") << QStringLiteral("R😀") << false;
    }
    void newTableNameThatIsNotValidText() {
        QFETCH(QString, name);
        QFETCH(bool, refused);
        JoinRig rig;
        rig.openSelfJoin(1);
        rig.dialogs.promptAnswers << name;
        rig.startJoining();

        QCOMPARE(rig.dialogs.errorBoxes().size(), 0);
        QCOMPARE(rig.form().pointer().pointerState(), PointerState::Default);
        QStringList tables;
        for (const QStringList& row : rig.owner.rows("SELECT table_name FROM user_tables"))
            tables << row.front();
        tables.sort();
        if (refused) {
            QCOMPARE(rig.dialogs.texts().back(),
                     QStringLiteral("The table name is not valid text."));
            QCOMPARE(rig.dialogs.shown.back().caption, QString());
            QCOMPARE(rig.dialogs.shown.back().icon, Dialogs::Icon::None);
            QCOMPARE(tables, QStringList{"A"});
            QCOMPARE(rig.form().list1, QStringList{"A"});
        } else {
            QCOMPARE(tables, (QStringList{"A", name}));
            QCOMPARE(rig.form().list1, (QStringList{"A", name}));
            QCOMPARE(rig.owner.rows(QStringLiteral("SELECT * FROM \"%1\"").arg(name)),
                     (QList<QStringList>{{"1", "1"}}));
        }
    }

    // The run's lock file beside the staging file is its owner's alone, made
    // under the usual umask.
    void lockFileIsOwnerOnly() {
        const mode_t savedUmask = ::umask(022);
        const auto restoreUmask = qScopeGuard([&] { ::umask(savedUmask); });
        JoinRig rig;
        rig.owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10)))");
        rig.openChoosing("A", "ID", "A", "ID");
        const QString lock =
            StagingDatabasePath(rig.programFolder.path()) + QStringLiteral(".lock");
        int mode = -1;
        rig.dialogs.onShown = [&](const RecordingDialogs::Shown& shown) {
            struct stat info {};
            if (shown.kind == "prompt" && ::stat(QFile::encodeName(lock).constData(), &info) == 0)
                mode = int(info.st_mode & 07777);
        };
        rig.dialogs.promptAnswers << QStringLiteral("R");
        rig.startJoining();
        QCOMPARE(mode, 0600);
        QCOMPARE(rig.dialogs.errorBoxes().size(), 0);
    }

    // A staging file that cannot be used safely, or locked, fails the first
    // copy as any staging failure does: its error box, then the run ends
    // before anything is copied, and the staging file is never touched.
    void unusableStagingFailsTheFirstCopy_data() {
        QTest::addColumn<QString>("dataHome");  // <root>: the case's folder; null: unset
        QTest::addColumn<QString>("planted");   // what stands at <root>/data: "link", "file"
        QTest::addColumn<QString>("expected");  // the error box's description
        QTest::newRow("no folder for the program's files")
            << QString() << QString()
            << "No folder for the program's files: neither XDG_DATA_HOME nor HOME is set to an "
               "absolute path.";
        QTest::newRow("data folder is a link")
            << "<root>/data"
            << "link"
            << "The staging folder <root>/data/quillmere is a symbolic link; the staging file is "
               "never kept behind one.";
        QTest::newRow("lock cannot be made")
            << "<root>/data"
            << "file"
            << "The staging file cannot be locked: <root>/data/quillmere/temp.mdb.lock could not "
               "be made.";
    }
    void unusableStagingFailsTheFirstCopy() {
        QFETCH(QString, dataHome);
        QFETCH(QString, planted);
        QFETCH(QString, expected);
        JoinRig rig;
        rig.owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10)))");
        rig.openChoosing("A", "ID", "A", "ID");
        QTemporaryDir root;
        dataHome.replace(QStringLiteral("<root>"), root.path());
        expected.replace(QStringLiteral("<root>"), root.path());
        const QString data = root.filePath(QStringLiteral("data"));
        const QString elsewhere = root.filePath(QStringLiteral("elsewhere"));
        if (planted == QStringLiteral("link")) {
            QVERIFY(QDir().mkpath(data) && QDir().mkpath(elsewhere));
            QVERIFY(QFile::link(elsewhere, data + QStringLiteral("/quillmere")));
        } else if (planted == QStringLiteral("file")) {
            QFile file(data);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const ScopedEnvironment environment{
            {"HOME", QByteArray()},
            {"XDG_DATA_HOME",
             dataHome.isNull() ? QByteArray("relative") : QFile::encodeName(dataHome)}};
        PushButton2_Click(rig.window, rig.dialogs, rig.context,
                          rig.programFolder.filePath(QStringLiteral("gone")));
        const QList<RecordingDialogs::Shown> boxes = rig.dialogs.errorBoxes();
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes.front().text.startsWith(expected +
                                               QStringLiteral("\r\nin Brisvane2018/12/22.Form2."
                                                              "PushButton2_Click at line 124\r")),
                 qPrintable(boxes.front().text));
        QCOMPARE(rig.form().pointer().pointerState(), PointerState::Default);
        QVERIFY(!rig.form().joinRunning());
        QCOMPARE(QDir(elsewhere).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    }

    // A second program on the same program folder, started while the first
    // waits for its name, is turned away; the first finishes as if alone,
    // and frees the folder for the next.
    void secondProgramOnTheSameFolderIsRefused() {
        JoinRig rig;
        rig.owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10)))");
        rig.owner.exec(R"(INSERT INTO "A" VALUES ('1'), ('2'))");
        rig.openChoosing("A", "ID", "A", "ID");
        TestJoinWindow other;
        other.oracleLogin = rig.owner.login();
        other.table1 = other.table2 = QStringLiteral("A");
        other.field1 = other.field2 = QStringLiteral("ID");
        RecordingDialogs otherDialogs;
        RecordingRunContext otherContext;
        const auto startOther = [&] {
            PushButton2_Click(other, otherDialogs, otherContext, rig.programFolder.path());
        };
        rig.dialogs.onShown = [&](const RecordingDialogs::Shown& shown) {
            if (shown.kind == "prompt") startOther();
        };
        rig.dialogs.promptAnswers << QStringLiteral("R");
        otherDialogs.promptAnswers << QStringLiteral("S");
        rig.startJoining();
        rig.dialogs.onShown = nullptr;

        const QString path = StagingDatabasePath(rig.programFolder.path());
        QCOMPARE(otherDialogs.texts(),
                 QStringList{QStringLiteral("Another join is using %1. Please try again when it "
                                            "has finished.")
                                 .arg(path)});
        QCOMPARE(otherDialogs.shown.front().caption, QString());
        QCOMPARE(otherDialogs.shown.front().icon, Dialogs::Icon::None);
        QCOMPARE(other.pointer().pointerState(), PointerState::Default);
        QCOMPARE(rig.dialogs.errorBoxes().size(), 0);
        const QList<QStringList> expected{{"1", "1"}, {"2", "2"}};
        QCOMPARE(sorted(rig.owner.rows(R"(SELECT * FROM "R")")), expected);
        QCOMPARE(sorted(rig.stagedRows("R")), expected);

        startOther();
        QCOMPARE(otherDialogs.errorBoxes().size(), 0);
        QCOMPARE(sorted(rig.owner.rows(R"(SELECT * FROM "S")")), expected);
    }
};

int runJoinRunTests(int argc, char** argv) {
    TestJoinRun tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "test_join_run.moc"
