// The data access layer against the stand-in server: values as the
// server's own text, failures with the driver's words, result lifetimes.
#include <QtTest>

#include "db/connection.h"
#include "db/connection_string_attributes.h"
#include "db/db_error.h"
#include "support/recording_run_context.h"
#include "support/standin.h"

namespace {
// A staging file of its own in a temporary folder, opened as the join code
// opens it: through the Jet provider's connection string.
class StagingFile final {
public:
    db::Connection connect() const {
        db::Connection connection;
        connection.setMode(db::Mode::ReadWrite);
        connection.open(QStringLiteral("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=") +
                        attributeValueText(path()) + QLatin1Char(';'));
        return connection;
    }
    QString path() const { return m_dir.filePath(QStringLiteral("temp.mdb")); }

private:
    QTemporaryDir m_dir;
};

// The one value of a one-row, one-column query.
QString onlyValue(db::Connection& connection, const QString& query) {
    db::ResultSet result = connection.query(query);
    if (!result.next()) return QStringLiteral("<no row>");
    return result.value(0).value_or(QStringLiteral("<null>"));
}
}  // namespace

class TestDb : public QObject {
    Q_OBJECT

private slots:
    void valuesAsText() {
        standin::Login owner;
        const QString longText = QString(20000, QLatin1Char('x')) + QStringLiteral("ende");
        owner.exec(
            QStringLiteral("CREATE TABLE t (n numeric(38), d numeric(10,4), ts timestamp(6), u "
                           "varchar(50), l text, z text, b bytea)"));
        owner.exec(
            QStringLiteral(
                "INSERT INTO t VALUES (12345678901234567890123456789012345678, 0.1, "
                "'2018-12-22 09:15:00.123456', 'Grüße, Ελλάδα, 日本 😀', '%1', NULL, '\\x00ff41')")
                .arg(longText));
        db::Connection connection = owner.connect();
        db::ResultSet result = connection.query(QStringLiteral("SELECT * FROM t"));
        QCOMPARE(result.fieldNames(), (QStringList{"n", "d", "ts", "u", "l", "z", "b"}));
        QVERIFY(result.next());
        QCOMPARE(result.value(0).value(), QStringLiteral("12345678901234567890123456789012345678"));
        QCOMPARE(result.value(1).value(), QStringLiteral("0.1000"));
        QCOMPARE(result.value(2).value(), QStringLiteral("2018-12-22 09:15:00.123456"));
        QCOMPARE(result.value(3).value(), QStringLiteral("Grüße, Ελλάδα, 日本 😀"));
        QCOMPARE(result.value(4).value(), longText);
        QVERIFY(!result.value(5).has_value());
        QVERIFY(result.value(6).has_value());
        QVERIFY(result.value(6)->contains(QStringLiteral("ff41"), Qt::CaseInsensitive));
        QVERIFY(!result.next());
        QVERIFY(!result.next());
    }

    // Texts that a byte-order-mark detection would alter: a leading U+FEFF
    // dropped, a leading U+FFFE taken as byte-swapped text. Long values come
    // in chunks of 4,095 characters, each of which must pass unaltered too.
    void textNeverTakenForAByteOrderMark_data() {
        QTest::addColumn<QString>("text");
        const QString chunk(4095, QLatin1Char('x'));
        QTest::newRow("leading FEFF") << QStringLiteral("\uFEFFabc");
        QTest::newRow("leading FFFE") << QStringLiteral("\uFFFEab");
        QTest::newRow("noncharacter FFFF") << QStringLiteral("\uFFFFab");
        QTest::newRow("FEFF starting the second chunk") << chunk + QStringLiteral("\uFEFFabc");
        QTest::newRow("FFFE starting the second chunk") << chunk + QStringLiteral("\uFFFEab");
        QTest::newRow("FEFF starting both chunks")
            << QStringLiteral("\uFEFF") + chunk.left(4094) + QStringLiteral("\uFEFFz");
        QTest::newRow("surrogate pair across chunks") << chunk.left(4094) + QStringLiteral("😀end");
    }
    void textNeverTakenForAByteOrderMark() {
        QFETCH(QString, text);
        const QString literal = QLatin1Char('\'') + text + QLatin1Char('\'');

        standin::Login owner;
        owner.exec(QStringLiteral("CREATE TABLE t (v text)"));
        owner.exec(QStringLiteral("INSERT INTO t VALUES (%1)").arg(literal));
        db::Connection oracle = owner.connect();
        QCOMPARE(onlyValue(oracle, QStringLiteral("SELECT v FROM t")), text);
        db::ResultSet named = oracle.query(QStringLiteral("SELECT 1 AS \"%1\"").arg(text.left(3)));
        QCOMPARE(named.fieldName(0), text.left(3));

        StagingFile file;
        db::Connection staging = file.connect();
        staging.execute(QStringLiteral("CREATE TABLE t (v TEXT)"));
        staging.execute(QStringLiteral("INSERT INTO t VALUES (%1)").arg(literal));
        QCOMPARE(onlyValue(staging, QStringLiteral("SELECT v FROM t")), text);
        db::ResultSet stagedName =
            staging.query(QStringLiteral("SELECT 1 AS \"%1\"").arg(text.left(3)));
        QCOMPARE(stagedName.fieldName(0), text.left(3));
    }

    void failuresCarryTheDriversText() {
        standin::Login owner;
        db::Connection connection = owner.connect();
        try {
            connection.execute(QStringLiteral("SELECT * FROM no_such_table"));
            QFAIL("no failure");
        } catch (const DbError& error) {
            QVERIFY2(error.description().contains(QStringLiteral("no_such_table")),
                     qPrintable(error.description()));
            QCOMPARE(error.state(), QStringLiteral("42P01"));
            QVERIFY(!error.description().contains(QStringLiteral("42P01")));
        }
        // The connection stays usable after a failed statement.
        QCOMPARE(owner.rows(QStringLiteral("SELECT 1")), (QList<QStringList>{{"1"}}));
    }

    // Whether a failure means the connection is gone: a session ended by the
    // server, against failures of the statement alone.
    void connectionLost_data() {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("statement");
        QTest::addColumn<bool>("lost");
        QTest::newRow("session terminated") << "terminate"
                                            << "SELECT 1" << true;
        QTest::newRow("no such table") << ""
                                       << "SELECT * FROM no_such_table" << false;
        QTest::newRow("value too long") << ""
                                        << "INSERT INTO five VALUES ('123456')" << false;
    }
    void connectionLost() {
        QFETCH(QString, cause);
        QFETCH(QString, statement);
        QFETCH(bool, lost);
        standin::Login owner;
        owner.exec(QStringLiteral("CREATE TABLE five (v varchar(5))"));
        db::Connection connection = owner.connect();
        connection.execute(QStringLiteral("SELECT 1"));
        if (cause == QStringLiteral("terminate"))
            standin::admin().execute(
                QStringLiteral(
                    "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE usename = '%1'")
                    .arg(owner.name()));
        try {
            connection.execute(statement);
            QFAIL("no failure");
        } catch (const DbError& error) {
            QVERIFY2(error.connectionLost() == lost, qPrintable(error.description()));
        }
    }

    // Drivers that cannot say whether their connection died are judged by
    // their codes; a driver's own answer outranks the codes.
    void connectionLostFromCodes_data() {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("native");
        QTest::addColumn<int>("driverAnswer");  // -1 none, 0 alive, 1 dead
        QTest::addColumn<bool>("lost");
        QTest::newRow("link failure class") << "Communication link failure"
                                            << "08S01" << 0 << -1 << true;
        QTest::newRow("session ended by server") << "terminating connection"
                                                 << "57P01" << 0 << -1 << true;
        QTest::newRow("end-of-file on channel") << "[Oracle][ODBC]ORA-03113: end-of-file on "
                                                   "communication channel"
                                                << "HY000" << 0 << -1 << true;
        QTest::newRow("not connected by native code") << "not connected"
                                                      << "HY000" << 3114 << -1 << true;
        QTest::newRow("connection closed") << "ORA-03135: connection lost contact"
                                           << "HY000" << 0 << -1 << true;
        QTest::newRow("other Oracle error") << "ORA-00942: table or view does not exist"
                                            << "42S02" << 942 << -1 << false;
        QTest::newRow("driver says alive") << "Communication link failure"
                                           << "08S01" << 0 << 0 << false;
        QTest::newRow("driver says dead") << "General error"
                                          << "HY000" << 0 << 1 << true;
    }
    void connectionLostFromCodes() {
        QFETCH(QString, description);
        QFETCH(QString, state);
        QFETCH(int, native);
        QFETCH(int, driverAnswer);
        QFETCH(bool, lost);
        const std::optional<bool> answer =
            driverAnswer < 0 ? std::nullopt : std::optional<bool>(driverAnswer == 1);
        QCOMPARE(DbError(description, state, native, answer).connectionLost(), lost);
    }

    // A statement on a staging file that another connection holds locked
    // waits, serving the window through the run context meanwhile, until the
    // lock goes, the run is abandoned or the connection time-out is spent.
    void lockedStagingFileYields_data() {
        QTest::addColumn<QString>("ending");
        QTest::newRow("lock released") << "release";
        QTest::newRow("run abandoned") << "abandon";
        QTest::newRow("time-out spent") << "timeout";
    }
    void lockedStagingFileYields() {
        QFETCH(QString, ending);
        StagingFile file;
        db::Connection holder = file.connect();
        holder.execute(QStringLiteral("CREATE TABLE t (v TEXT)"));
        RecordingRunContext context;
        db::Connection waiting;
        waiting.setRunContext(&context);
        waiting.setConnectionTimeout(1);
        waiting.open(holder.connectionString());
        holder.execute(QStringLiteral("BEGIN IMMEDIATE"));

        int yields = 0;
        context.onYield = [&] {
            if (++yields != 5) return;
            if (ending == QStringLiteral("release")) holder.execute(QStringLiteral("COMMIT"));
            if (ending == QStringLiteral("abandon")) context.abandon();
        };
        QElapsedTimer timer;
        timer.start();
        const auto insert = [&] { waiting.execute(QStringLiteral("INSERT INTO t VALUES ('w')")); };
        if (ending == QStringLiteral("release")) {
            insert();
            QCOMPARE(yields, 5);
            QCOMPARE(AllRows(waiting, QStringLiteral("SELECT v FROM t")),
                     (QList<QStringList>{{"w"}}));
        } else if (ending == QStringLiteral("abandon")) {
            QVERIFY_THROWS_EXCEPTION(RunAbandoned, insert());
            QCOMPARE(yields, 5);
        } else {
            try {
                insert();
                QFAIL("no failure");
            } catch (const DbError& error) {
                QVERIFY2(error.description().contains(QStringLiteral("locked")),
                         qPrintable(error.description()));
                QVERIFY(!error.connectionLost());
            }
            QVERIFY(timer.elapsed() >= 1000);
            QVERIFY2(yields > 20, qPrintable(QString::number(yields)));
        }
    }

    void resultOutlivesItsConnectionObject() {
        standin::Login owner;
        std::optional<db::ResultSet> result;
        {
            db::Connection connection = owner.connect();
            result = connection.query(QStringLiteral("SELECT 'a' UNION ALL SELECT 'b'"));
        }
        QVERIFY(result->next());
        QCOMPARE(result->value(0).value(), QStringLiteral("a"));
    }
};

QTEST_MAIN(TestDb)
#include "test_db.moc"
