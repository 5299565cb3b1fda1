// The join's pure routines, without a server: the join query, the result's
// column names, prefix stripping, the list routines, the staging connection
// string and the reporting of failures inside a loop.
#include <QtTest>
#include <new>

#include "base/trapped_handler.h"
#include "db/db_error.h"
#include "join/array_contains.h"
#include "join/full_outer_join_sql.h"
#include "join/list_contains.h"
#include "join/loop_failures.h"
#include "join/remove_list_entry.h"
#include "join/result_column_names.h"
#include "join/staging_connection_string.h"
#include "join/strip_table_prefix.h"
#include "support/private_home.h"
#include "support/recording_dialogs.h"

class TestJoinUnit : public QObject {
    Q_OBJECT

public:
    // Before the application object: the program's home is a temporary one.
    static void initMain() { UsePrivateHome(); }

private slots:
    void fullOuterJoinSql() {
        QCOMPARE(FullOuterJoinSql("Table1", "ID", "Table2", "RE`F"),
                 QStringLiteral("SELECT * FROM `Table1` LEFT JOIN `Table2` ON "
                                "`Table1`.`ID`=`Table2`.`RE``F` UNION ALL SELECT * FROM `Table1` "
                                "RIGHT JOIN `Table2` ON `Table1`.`ID`= `Table2`.`RE``F` WHERE "
                                "`Table1`.`ID` Is Null"));
    }

    void stripTablePrefix_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("stripped");
        QTest::newRow("first table") << "Table1.ID"
                                     << "ID";
        QTest::newRow("point in the column's own name") << "Table2.A.B"
                                                        << "A.B";
        QTest::newRow("other prefix stays") << "A.B"
                                            << "A.B";
        QTest::newRow("case counts") << "table1.ID"
                                     << "table1.ID";
        QTest::newRow("no prefix") << "NAME"
                                   << "NAME";
    }
    void stripTablePrefix() {
        QFETCH(QString, name);
        QFETCH(QString, stripped);
        QCOMPARE(StripTablePrefix(name), stripped);
    }

    void resultColumnNames_data() {
        QTest::addColumn<QStringList>("joinColumns");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("all different") << QStringList{"Table1.ID", "Table1.A", "Table2.B"} << "1"
                                       << QStringList{"ID", "A", "B"};
        QTest::newRow("repeat takes the suffix")
            << QStringList{"Table1.ID", "Table2.ID"} << "_2" << QStringList{"ID", "ID_2"};
        QTest::newRow("case ignored")
            << QStringList{"Table1.id", "Table2.ID"} << "1" << QStringList{"id", "ID1"};
        QTest::newRow("suffix again until free")
            << QStringList{"Table1.ID", "Table1.IDx", "Table2.ID"} << "x"
            << QStringList{"ID", "IDx", "IDxx"};
        QTest::newRow("no suffix: first free number")
            << QStringList{"Table1.ID", "Table1.ID1", "Table2.ID"} << ""
            << QStringList{"ID", "ID1", "ID2"};
        QTest::newRow("point kept")
            << QStringList{"A.B", "Table2.A.B"} << "1" << QStringList{"A.B", "A.B1"};
    }
    void resultColumnNames() {
        QFETCH(QStringList, joinColumns);
        QFETCH(QString, suffix);
        QFETCH(QStringList, names);
        QCOMPARE(ResultColumnNames(joinColumns, suffix), names);
    }

    void listRoutines() {
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

    void stagingConnectionString_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "/opt/q/temp.mdb"
                               << "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=/opt/q/temp.mdb;"
                                  "JET OLEDB:Database Password=";
        QTest::newRow("semicolon braced")
            << "/opt/a;b/temp.mdb"
            << "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source={/opt/a;b/temp.mdb};"
               "JET OLEDB:Database Password=";
    }
    void stagingConnectionString() {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(StagingConnectionString(path), expected);
    }

    // One box for the first failure at a line, whatever the later ones say;
    // a lost connection has its own and ends the loop, as a failed read does.
    void loopFailures() {
        RecordingDialogs dialogs;
        TrappedHandler handler("in test ", dialogs);
        LoopFailures writes(handler, 348, LoopFailures::Ends::OnBrokenConnection);
        QVERIFY(writes.run([] {}));
        QVERIFY(writes.run([] { throw DbError("value too long (actual: 2500)", "22001"); }));
        QVERIFY(writes.run([] { throw DbError("value too long (actual: 3000)", "22001"); }));
        QVERIFY(writes.run([] { throw DbError("other", "23000"); }));
        QCOMPARE(dialogs.errorBoxes().size(), 1);
        QVERIFY(!writes.run([] { throw DbError("connection lost", "08S01"); }));
        QCOMPARE(dialogs.errorBoxes().size(), 2);
        QVERIFY(dialogs.shown[0].text.startsWith(
            "value too long (actual: 2500)\r\nin test at line 348"));
        QVERIFY(dialogs.shown[1].text.startsWith("connection lost\r\n"));

        LoopFailures reads(handler, 350, LoopFailures::Ends::OnAnyFailure);
        QVERIFY(!reads.run([] { throw DbError("fetch failed"); }));
        QCOMPARE(dialogs.errorBoxes().size(), 3);
    }

    // Memory that runs out inside a loop is named as it is everywhere else.
    void outOfMemoryInALoop() {
        RecordingDialogs dialogs;
        TrappedHandler handler("in test ", dialogs);
        LoopFailures reads(handler, 350, LoopFailures::Ends::OnAnyFailure);
        QVERIFY(!reads.run([] { throw std::bad_alloc(); }));
        QCOMPARE(dialogs.errorBoxes().size(), 1);
        QVERIFY(dialogs.shown[0].text.startsWith("Out of memory\r\nin test at line 350"));
    }
};

QTEST_GUILESS_MAIN(TestJoinUnit)
#include "test_join_unit.moc"
