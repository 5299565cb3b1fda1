// The data access layer against the stand-in server: values as the
// server's own text, failures with the driver's words, result lifetimes.
#include <QtTest>
#include <cstdio>
#include <cstdlib>

#include "base/end_program_now.h"
#include "base/event_loop_run_context.h"
#include "db/connection.h"
#include "db/connection_string_attributes.h"
#include "db/db_error.h"
#include "db/odbc_result.h"
#include "support/private_home.h"
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
    // The file holding a table t with the one value 'kept', which a refused
    // statement must leave as it is.
    db::Connection connectWithKeptRow() const {
        db::Connection connection = connect();
        connection.execute(QStringLiteral("CREATE TABLE t (v TEXT)"));
        connection.execute(QStringLiteral("INSERT INTO t VALUES ('kept')"));
        return connection;
    }
    QString path() const { return m_dir.filePath(QStringLiteral("temp.mdb")); }

private:
    QTemporaryDir m_dir;
};

// Either database through the data layer: a fresh login on the stand-in
// server or a fresh staging file.
enum class Engine { Oracle, Staging };

class Rig final {
public:
    explicit Rig(Engine engine) {
        if (engine == Engine::Oracle) m_login.emplace();
    }
    db::Connection connect() const { return m_login ? m_login->connect() : m_file.connect(); }

private:
    std::optional<standin::Login> m_login;
    StagingFile m_file;
};

// Every row of a query, keyed by its first value.
QMap<QString, db::Value> valuesByKey(db::Connection& connection, const QString& query) {
    QMap<QString, db::Value> values;
    db::ResultSet result = connection.query(query);
    while (result.next()) values.insert(result.value(0).value_or(QString()), result.value(1));
    return values;
}

// Hears of each driver call to the server: whether every start has its end
// and none nests in another, and how long the longest took.
class ServerCallWatch final : public RunContext {
public:
    void yield() override {}
    void setProgress(int) override {}
    bool abandoned() const override { return false; }
    void serverCallStarted() override {
        if (m_open) m_unpaired = true;
        m_open = true;
        ++calls;
        m_clock.start();
    }
    void serverCallEnded() override {
        if (!m_open) m_unpaired = true;
        m_open = false;
        longestNs = std::max(longestNs, m_clock.nsecsElapsed());
    }
    bool paired() const { return !m_open && !m_unpaired; }
    bool servesWhileWaiting() const override { return serves; }

    bool serves = false;  // as a context with a window to serve
    int calls = 0;
    qint64 longestNs = 0;

private:
    QElapsedTimer m_clock;
    bool m_open = false;
    bool m_unpaired = false;
};

// The login's connection string for a driver that streams rows from the
// server as they are fetched, with more options.
QString streamingConnectionString(const standin::Login& owner, const char* more = "") {
    return QStringLiteral(
               "Driver={Microsoft ODBC for Oracle};Server=%1;Uid=%2;Pwd=%3;"
               "UseDeclareFetch=1;%4")
        .arg(standin::sid(), owner.name(), owner.password(), QLatin1String(more));
}

// The connection string for a driver that cannot read a row of a fetched
// block by SQLGetData, so that rows are read one at a time.
QString withoutBlockReads(const QString& connectionString) {
    return standin::throughOracleManners(connectionString, QStringLiteral("OmNoBlockGetData=1;"));
}

// The environment that makes this test program a reader whose window is
// closed while it reads: the connection string and the query.
const char* const ClosedReadConnection = "QM_CLOSED_READ_CONNECTION";
const char* const ClosedReadQuery = "QM_CLOSED_READ_QUERY";

// Reads the query's rows as a run with a window reads them, printing each,
// and closes the window 300 ms after the start; prints how long after the
// close it ended, whether the read ended or was given up.
int runClosedRead() {
    EventLoopRunContext context;
    db::Connection connection;
    connection.setRunContext(&context);
    connection.open(qEnvironmentVariable(ClosedReadConnection));
    QElapsedTimer sinceClose;
    const auto ended = [&](const char* how) {
        std::printf("%s %lld ms after the close\n", how,
                    sinceClose.isValid() ? qint64(sinceClose.elapsed()) : qint64(-1));
        std::fflush(stdout);
    };
    const LastWords givenUp([&] { ended("given up"); });
    QTimer::singleShot(300, [&] {
        sinceClose.start();
        context.abandon();
    });
    try {
        db::ResultSet result = connection.query(qEnvironmentVariable(ClosedReadQuery));
        while (result.next()) {
            std::printf("row %s\n", qPrintable(result.value(0).value_or(QString())));
            std::fflush(stdout);
        }
    } catch (const DbError& error) {
        std::printf("failed: %s\n", qPrintable(error.description()));
    }
    ended("ended");
    return 0;
}

// A connection whose calls to the server the watch hears of.
db::Connection watchedConnection(ServerCallWatch& watch, const QString& connectionString) {
    db::Connection connection;
    connection.setRunContext(&watch);
    connection.open(connectionString);
    return connection;
}

// Watches the window's event loop while a call runs: a timer ticks every
// 5 ms, and the longest time between two ticks (or from the last tick to
// the end, when asked) is how long the window went unserved. onTick hears
// each tick's time since the start.
class ServedWatch final {
public:
    explicit ServedWatch(std::function<void(qint64)> onTick = {}) {
        m_ticks.setInterval(5);
        QObject::connect(&m_ticks, &QTimer::timeout, &m_ticks, [this, onTick] {
            m_longestGap = std::max(m_longestGap, m_clock.elapsed() - m_lastTick);
            m_lastTick = m_clock.elapsed();
            if (onTick) onTick(m_lastTick);
        });
        m_clock.start();
        m_ticks.start();
    }
    // Stops the watch; how long it ran.
    qint64 stop() {
        m_ticks.stop();
        m_took = m_clock.elapsed();
        return m_took;
    }
    qint64 longestGap() const { return m_longestGap; }
    qint64 longestGapToTheEnd() const { return std::max(m_longestGap, m_took - m_lastTick); }

private:
    QElapsedTimer m_clock;
    QTimer m_ticks;
    qint64 m_lastTick = 0;
    qint64 m_longestGap = 0;
    qint64 m_took = 0;
};

// The one value of a one-row, one-column query.
QString onlyValue(db::Connection& connection, const QString& query) {
    db::ResultSet result = connection.query(query);
    if (!result.next()) return QStringLiteral("<no row>");
    return result.value(0).value_or(QStringLiteral("<null>"));
}
// How a transaction ends.
using Ending = void (*)(db::Connection&);
// What happens while a statement waits for a lock: to the lock's holder or
// to the waiting run.
using AtYield = void (*)(db::Connection& holder, RecordingRunContext& context);
// A call made on a connection after its link was lost: on the connection,
// on a statement prepared before, or on a read begun before.
using LaterCall = void (*)(db::Connection&, db::PreparedStatement&, db::ResultSet&);
}  // namespace

Q_DECLARE_METATYPE(Engine)
Q_DECLARE_METATYPE(Ending)
Q_DECLARE_METATYPE(AtYield)
Q_DECLARE_METATYPE(LaterCall)

class TestDb : public QObject {
    Q_OBJECT

public:
    // Before the application object: the program's home is a temporary one.
    static void initMain() {
        UsePrivateHome();
        standin::useTheProgramsClientCharacterSet();
    }

private slots:
    // Values come back as the server's own text: every digit, every fraction
    // of a second, any character, long texts whole, Nulls as no value.
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
        // A message longer than a first buffer arrives whole.
        const QString longText = QStringLiteral("long ") + QString(3000, QLatin1Char('m')) +
                                 QStringLiteral(" end of the message");
        try {
            connection.execute(QStringLiteral("DO $$BEGIN RAISE EXCEPTION '") + longText +
                               QStringLiteral("'; END$$"));
            QFAIL("no failure");
        } catch (const DbError& error) {
            QVERIFY2(error.description().contains(longText), qPrintable(error.description()));
        }
        // The connection stays usable after a failed statement.
        QCOMPARE(owner.rows(QStringLiteral("SELECT 1")), (QList<QStringList>{{"1"}}));
    }

    // Whether a failure means the connection is gone: a session ended by the
    // server, against failures of the statement alone.
    void connectionLost_data() {
        QTest::addColumn<bool>("sessionEnded");  // by the server's administrator
        QTest::addColumn<QString>("statement");
        QTest::addColumn<bool>("lost");
        QTest::newRow("session terminated") << true << "SELECT 1" << true;
        QTest::newRow("no such table") << false << "SELECT * FROM no_such_table" << false;
        QTest::newRow("value too long") << false << "INSERT INTO five VALUES ('123456')" << false;
    }
    void connectionLost() {
        QFETCH(bool, sessionEnded);
        QFETCH(QString, statement);
        QFETCH(bool, lost);
        standin::Login owner;
        owner.exec(QStringLiteral("CREATE TABLE five (v varchar(5))"));
        db::Connection connection = owner.connect();
        connection.execute(QStringLiteral("SELECT 1"));
        if (sessionEnded) owner.endSessions();
        try {
            connection.execute(statement);
            QFAIL("no failure");
        } catch (const DbError& error) {
            QVERIFY2(error.connectionLost() == lost, qPrintable(error.description()));
        }
    }

    // Once a call finds the link lost, the connection stays lost: every
    // later call fails with that first failure, its words and codes, and
    // reaches no driver, whose own answers (a rollback refused, a transaction
    // still open) would hide the cause. Closing it still frees everything.
    void lostConnectionStaysLost_data() {
        QTest::addColumn<LaterCall>("later");
        QTest::newRow("statement")
            << LaterCall([](db::Connection& connection, db::PreparedStatement&, db::ResultSet&) {
                   connection.execute(QStringLiteral("SELECT 1"));
               });
        QTest::newRow("query") << LaterCall(
            [](db::Connection& connection, db::PreparedStatement&, db::ResultSet&) {
                connection.query(QStringLiteral("SELECT 1"));
            });
        QTest::newRow("prepare") << LaterCall(
            [](db::Connection& connection, db::PreparedStatement&, db::ResultSet&) {
                connection.prepare(QStringLiteral("SELECT 1"));
            });
        QTest::newRow("rows committed again")
            << LaterCall([](db::Connection&, db::PreparedStatement& insert, db::ResultSet&) {
                   const std::vector<db::Row> rows{{QStringLiteral("b")}};
                   insert.executeCommitted(rows);
               });
        QTest::newRow("one prepared row")
            << LaterCall([](db::Connection&, db::PreparedStatement& insert, db::ResultSet&) {
                   insert.execute({QStringLiteral("c")});
               });
        QTest::newRow("transaction begun")
            << LaterCall([](db::Connection& connection, db::PreparedStatement&, db::ResultSet&) {
                   connection.beginTransaction();
               });
        QTest::newRow("rollback") << LaterCall([](db::Connection& connection,
                                                  db::PreparedStatement&,
                                                  db::ResultSet&) { connection.rollback(); });
        QTest::newRow("fetch of a read begun before")
            << LaterCall([](db::Connection&, db::PreparedStatement&, db::ResultSet& read) {
                   while (read.next()) {
                   }
               });
    }
    void lostConnectionStaysLost() {
        QFETCH(LaterCall, later);
        standin::Login owner;
        owner.exec(QStringLiteral("CREATE TABLE t (v varchar(5))"));
        db::Connection connection = owner.connect();
        db::PreparedStatement insert =
            connection.prepare(QStringLiteral("INSERT INTO t VALUES (?)"));
        db::ResultSet read = connection.query(QStringLiteral("SELECT * FROM t"));
        owner.endSessions();
        std::optional<DbError> first;
        try {
            const std::vector<db::Row> rows{{QStringLiteral("a")}, {QStringLiteral("b")}};
            insert.executeCommitted(rows);
        } catch (const DbError& error) {
            first = error;
        }
        QVERIFY(first);
        QVERIFY2(first->connectionLost(), qPrintable(first->description()));
        try {
            later(connection, insert, read);
            QFAIL("no failure");
        } catch (const DbError& error) {
            QCOMPARE(error.description(), first->description());
            QCOMPARE(error.state(), first->state());
            QCOMPARE(error.nativeCode(), first->nativeCode());
            QVERIFY(error.connectionLost());
        }
        read.close();
        insert.close();
        connection.close();
    }

    // Closing the window while a fetch sleeps, rows read one at a time: the
    // close is seen, and the program ends within 3 seconds of it, the fetch
    // cancelled or given up (psqlODBC cannot cancel a fetch).
    void closingDuringASleepingFetchReadRowByRow() {
        standin::Login owner;
        QProcess reader;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // Rows fetched from the server two at a time: the second fetch sleeps.
        environment.insert(ClosedReadConnection,
                           withoutBlockReads(streamingConnectionString(owner, "Fetch=2;")));
        environment.insert(
            ClosedReadQuery,
            QStringLiteral("SELECT g, (SELECT count(*) FROM pg_sleep(CASE WHEN g = 3 "
                           "THEN 30 ELSE 0 END)) FROM generate_series(1, 5) g"));
        reader.setProcessEnvironment(environment);
        reader.setProcessChannelMode(QProcess::MergedChannels);
        reader.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(reader.waitForStarted());
        const bool finished = reader.waitForFinished(10000);
        if (!finished) {
            reader.kill();
            reader.waitForFinished();
        }
        const QString output = QString::fromUtf8(reader.readAll());
        QVERIFY2(finished, qPrintable(output));
        static const QRegularExpression end(QStringLiteral(R"((ended|given up) (\d+) ms after)"));
        const QRegularExpressionMatch match = end.match(output);
        QVERIFY2(match.hasMatch(), qPrintable(output));
        QVERIFY2(match.captured(2).toInt() < 3000, qPrintable(output));
    }

    // A statement on a staging file that another connection holds locked
    // waits, serving the window through the run context meanwhile, until the
    // lock goes, the run is abandoned or the connection time-out is spent.
    void lockedStagingFileYields_data() {
        QTest::addColumn<AtYield>("atFifthYield");
        QTest::addColumn<bool>("inserted");
        QTest::addColumn<bool>("abandoned");
        QTest::addColumn<bool>("timedOut");
        QTest::newRow("lock released") << AtYield([](db::Connection& holder, RecordingRunContext&) {
            holder.execute(QStringLiteral("COMMIT"));
        }) << true << false << false;
        QTest::newRow("run abandoned")
            << AtYield([](db::Connection&, RecordingRunContext& context) { context.abandon(); })
            << false << true << false;
        QTest::newRow("time-out spent")
            << AtYield([](db::Connection&, RecordingRunContext&) {}) << false << false << true;
    }
    void lockedStagingFileYields() {
        QFETCH(AtYield, atFifthYield);
        QFETCH(bool, inserted);
        QFETCH(bool, abandoned);
        QFETCH(bool, timedOut);
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
            if (++yields == 5) atFifthYield(holder, context);
        };
        QElapsedTimer timer;
        timer.start();
        bool wasAbandoned = false;
        QString failure;
        try {
            waiting.execute(QStringLiteral("INSERT INTO t VALUES ('w')"));
        } catch (const RunAbandoned&) {
            wasAbandoned = true;
        } catch (const DbError& error) {
            failure = error.description();
            QVERIFY(!error.connectionLost());
        }
        QCOMPARE(wasAbandoned, abandoned);
        QCOMPARE(failure.isEmpty(), !timedOut);
        if (timedOut) {
            QVERIFY2(failure.contains(QStringLiteral("locked")), qPrintable(failure));
            QVERIFY(timer.elapsed() >= 1000);
            QVERIFY2(yields > 20, qPrintable(QString::number(yields)));
        } else {
            QCOMPARE(yields, 5);
        }
        if (inserted)
            QCOMPARE(AllRows(waiting, QStringLiteral("SELECT v FROM t")),
                     (QList<QStringList>{{"w"}}));
    }

    // Values go in through a prepared statement exactly as given, alone and
    // in a batch beside values of other lengths; asked to, a row takes an
    // empty text as a Null, and only that.
    void preparedValuesArriveExactly_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("null");
        QString longText;
        while (longText.size() < 10000) longText += QStringLiteral("0123456789 äöü ");
        QTest::newRow("long text") << longText + QStringLiteral("ende") << false;
        QTest::newRow("control characters")
            << QStringLiteral("a\x01\x02\t\n\r\x1b\x1f\x7f z") << false;
        QTest::newRow("non-ASCII and emoji")
            << QStringLiteral("Grüße, Ελλάδα, 日本 😀👍🏽") << false;
        QTest::newRow("empty text") << QString() << false;
        QTest::newRow("Null") << QString() << true;
        QTest::newRow("blanks") << QStringLiteral("   ") << false;
        QTest::newRow("leading FEFF") << QStringLiteral("\uFEFFabc") << false;
        QTest::newRow("leading FFFE") << QStringLiteral("\uFFFEab") << false;
        QTest::newRow("quotes and question marks") << QStringLiteral("it's ? \"q\" ?") << false;
    }
    void preparedValuesArriveExactly() {
        QFETCH(QString, text);
        QFETCH(bool, null);
        const db::Value value = null ? db::Value() : db::Value(text);
        for (const auto& [name, engine] :
             {std::pair{"oracle", Engine::Oracle}, std::pair{"staging", Engine::Staging}}) {
            Rig rig(engine);
            db::Connection connection = rig.connect();
            connection.execute(QStringLiteral("CREATE TABLE t (k varchar(20), v text)"));
            db::PreparedStatement insert =
                connection.prepare(QStringLiteral("INSERT INTO t VALUES (?, ?)"));
            QCOMPARE(insert.parameterCount(), 2);
            insert.execute({QStringLiteral("single"), value});
            insert.execute({QStringLiteral("empty as Null"), value}, db::EmptyText::AsNull);
            const std::vector<db::Row> batch{{QStringLiteral("short"), QStringLiteral("x")},
                                             {QStringLiteral("batch"), value},
                                             {QStringLiteral("null"), std::nullopt}};
            insert.executeCommitted(batch);
            const auto values = valuesByKey(connection, QStringLiteral("SELECT k, v FROM t"));
            const QMap<QString, db::Value> expected = {
                {QStringLiteral("single"), value},
                {QStringLiteral("empty as Null"), value && value->isEmpty() ? db::Value() : value},
                {QStringLiteral("short"), QStringLiteral("x")},
                {QStringLiteral("batch"), value},
                {QStringLiteral("null"), std::nullopt}};
            QVERIFY2(values == expected, name);
        }
    }

    // Rows read in blocks into bound buffers come out as they were stored:
    // values longer than their column's buffer (an unsized varchar, emoji
    // taking two code units each, long texts bound for their first part
    // only: around that part's end, in characters and in code units), and
    // Nulls. With a window served, the next rows are made while the caller
    // holds these: rows the caller kept stay as they were.
    void blockReadingKeepsEveryValue_data() {
        QTest::addColumn<bool>("served");
        QTest::newRow("read here") << false;
        QTest::newRow("window served, rows made ahead") << true;
    }
    void blockReadingKeepsEveryValue() {
        QFETCH(bool, served);
        standin::Login owner;
        ServerCallWatch watch;
        watch.serves = served;
        db::Connection connection = watchedConnection(watch, owner.connect().connectionString());
        connection.execute(
            QStringLiteral("CREATE TABLE t (k numeric(10), short varchar(8), open varchar, "
                           "long text, n numeric(38))"));
        const auto rowValues = [](int i) -> db::Row {
            const QString open =
                i % 7 == 0 ? QString(300 + i % 50, QLatin1Char('o')) : QStringLiteral("o%1").arg(i);
            const db::Value shortValue = i % 5 == 0 ? db::Value()
                                         : i % 3 == 0
                                             ? db::Value(QStringLiteral("😀").repeated(8))
                                             : db::Value(QStringLiteral("s%1").arg(i % 1000));
            const db::Value longValue =
                i % 11 == 0   ? db::Value(QString(5000 + i, QLatin1Char('l')))
                : i % 13 == 0 ? db::Value(QString(1022 + i % 5, QLatin1Char('w')))
                : i % 17 == 0 ? db::Value(QStringLiteral("😀").repeated(510 + i % 5))
                              : db::Value(QStringLiteral("l%1").arg(i));
            return {
                QString::number(i), shortValue, open, longValue,
                QStringLiteral("1234567890123456789012345678%1").arg(i, 10, 10, QLatin1Char('0'))};
        };
        constexpr int Rows = 3000;
        std::vector<db::Row> rows;
        for (int i = 0; i < Rows; ++i) rows.push_back(rowValues(i));
        connection.prepare(QStringLiteral("INSERT INTO t VALUES (?, ?, ?, ?, ?)"))
            .executeCommitted(rows);

        db::ResultSet result = connection.query(QStringLiteral("SELECT * FROM t ORDER BY k"));
        std::vector<db::Row> kept;
        while (result.next()) {
            QVERIFY(kept.size() < rows.size());
            kept.push_back(result.row());
            const db::Row& expected = rows[kept.size() - 1];
            QVERIFY2(result.row() == expected, qPrintable(QString::number(kept.size() - 1)));
        }
        QCOMPARE(kept.size(), rows.size());
        for (size_t i = 0; i < rows.size(); ++i)
            QVERIFY2(kept[i] == rows[i], qPrintable(QStringLiteral("kept row %1").arg(i)));
        QVERIFY(watch.paired());
    }

    // Values at their column's limit arrive whole, in block reads and row by
    // row, from a driver that garbles a text too long for its bound buffer:
    // characters that take two code units each fill the column, so no
    // buffer may count one unit a character. Where the driver still cuts a
    // value (past the bound part of a long text) and warns of anything but
    // a truncation, the read fails with its words and delivers nothing of
    // that block.
    void valuesAtTheirColumnsLimitArriveWhole_data() {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("fails");
        const QString emoji = QStringLiteral("😀");
        for (const auto& [how, settings] :
             {std::pair{"block reads", "OmGarbledTruncation=1;"},
              std::pair{"row by row", "OmGarbledTruncation=1;OmNoBlockGetData=1;"}}) {
            QTest::addRow("ten emoji in VARCHAR(10), %s", how)
                << settings << "varchar(10)" << emoji.repeated(10) << false;
            QTest::addRow("4,000 emoji in VARCHAR(4000), %s", how)
                << settings << "varchar(4000)" << emoji.repeated(4000) << false;
            QTest::addRow("ten CJK extension characters in VARCHAR(10), %s", how)
                << settings << "varchar(10)" << QStringLiteral("𠀀𠀁𠀂𠀃𠀄𠀅𠀆𠀇𠀈𠀉") << false;
        }
        QTest::newRow("long text cut with a conversion warning, block reads")
            << "OmGarbledTruncation=1;"
            << "text" << QString(2000, QLatin1Char('x')) << true;
    }
    void valuesAtTheirColumnsLimitArriveWhole() {
        QFETCH(QString, settings);
        QFETCH(QString, column);
        QFETCH(QString, value);
        QFETCH(bool, fails);
        standin::Login owner;
        owner.exec(QStringLiteral("CREATE TABLE t (k integer, v %1)").arg(column));
        db::Connection writer = owner.connect();
        std::vector<db::Row> rows;
        for (int k = 0; k < 5; ++k) rows.push_back({QString::number(k), value});
        writer.prepare(QStringLiteral("INSERT INTO t VALUES (?, ?)")).executeCommitted(rows);

        db::Connection connection;
        connection.open(
            standin::throughOracleManners(owner.connect().connectionString(), settings));
        db::ResultSet result = connection.query(QStringLiteral("SELECT k, v FROM t ORDER BY k"));
        int read = 0;
        try {
            while (result.next()) {
                QCOMPARE(result.value(1), db::Value(value));
                ++read;
            }
            QVERIFY(!fails);
            QCOMPARE(read, 5);
        } catch (const DbError& error) {
            QVERIFY2(fails, qPrintable(error.description()));
            QVERIFY2(error.description().contains(QStringLiteral("Character conversion lost data")),
                     qPrintable(error.description()));
            QCOMPARE(read, 0);
        }
    }

    // A batch is cut where its parameter buffers would grow past their bound:
    // one value too long for any array goes by itself, another shortens the
    // arrays around it, and a single row between batches changes nothing.
    // Every row arrives once, exactly.
    void longValuesSplitTheBatch() {
        standin::Login owner;
        db::Connection connection = owner.connect();
        connection.execute(QStringLiteral("CREATE TABLE t (k integer, v text)"));
        db::PreparedStatement insert =
            connection.prepare(QStringLiteral("INSERT INTO t VALUES (?, ?)"));
        const auto valueOf = [](int k) -> db::Value {
            if (k == 500) return QString(34 * 1024 * 1024, QLatin1Char('a'));  // 68 MB alone
            if (k == 700) return QString(5 * 1024 * 1024, QLatin1Char('b'));
            if (k % 10 == 3) return std::nullopt;
            return QStringLiteral("v%1").arg(k);
        };
        std::vector<db::Row> rows;
        for (int k = 0; k < 1000; ++k) rows.push_back({QString::number(k), valueOf(k)});
        insert.execute({QStringLiteral("1000"), valueOf(1000)});
        insert.executeCommitted(rows);
        const std::vector<db::Row> two{{QStringLiteral("1001"), valueOf(1001)},
                                       {QStringLiteral("1002"), valueOf(1002)}};
        insert.executeCommitted(two);

        db::ResultSet result = connection.query(
            QStringLiteral("SELECT k, length(v), v IS NULL, left(v, 8) FROM t ORDER BY k"));
        int k = 0;
        while (result.next()) {
            const db::Value expected = valueOf(k);
            const QStringList seen{result.value(0).value_or("?"), result.value(1).value_or(""),
                                   result.value(2).value_or("?"), result.value(3).value_or("")};
            const QStringList wanted{
                QString::number(k), expected ? QString::number(expected->size()) : QString(),
                expected ? "0" : "1", expected ? expected->left(8) : QString()};
            QCOMPARE(seen, wanted);
            ++k;
        }
        QCOMPARE(k, 1003);
    }

    // A piece read by SQLGetData into a buffer of 8 code units (7 and the
    // NUL): a truncation, or a length past the buffer whatever the state,
    // says more follows; after any other warning the indicator tells how
    // much was written.
    void pieceOfValue_data() {
        QTest::addColumn<bool>("truncated");
        QTest::addColumn<qint64>("indicator");
        QTest::addColumn<qint64>("units");
        QTest::addColumn<bool>("more");
        QTest::newRow("truncated, length known") << true << qint64(40) << qint64(7) << true;
        QTest::newRow("truncated, no total") << true << qint64(SQL_NO_TOTAL) << qint64(7) << true;
        QTest::newRow("other warning, short value") << false << qint64(6) << qint64(3) << false;
        QTest::newRow("other warning, empty value") << false << qint64(0) << qint64(0) << false;
        QTest::newRow("complete, fills the buffer") << false << qint64(14) << qint64(7) << false;
        QTest::newRow("complete, no total") << false << qint64(SQL_NO_TOTAL) << qint64(7) << false;
        QTest::newRow("longer than the buffer, no 01004")
            << false << qint64(400) << qint64(7) << true;
        QTest::newRow("one unit longer than the buffer, no 01004")
            << false << qint64(16) << qint64(7) << true;
    }
    void pieceOfValue() {
        QFETCH(bool, truncated);
        QFETCH(qint64, indicator);
        QFETCH(qint64, units);
        QFETCH(bool, more);
        const db::odbc::Piece piece = db::odbc::PieceOfValue(truncated, SQLLEN(indicator), 8);
        QCOMPARE(qint64(piece.units), units);
        QCOMPARE(piece.more, more);
    }

    // A read that fails half-way delivers rows before the failure, unchanged
    // and in order, then the server's failure, then no more rows: in the
    // first block, or in one made ahead while a window is served. Of the
    // block that fails, only the rows the driver marks delivered come
    // (psqlODBC marks none past its first fetch from the server); the blocks
    // before it come whole.
    // Read row by row, every row of the server's fetches before the failing
    // one comes, whether read here or on the worker a stretch at a time.
    void failedFetchComesAfterTheRowsBeforeIt_data() {
        QTest::addColumn<int>("failingRow");
        QTest::addColumn<bool>("served");
        QTest::addColumn<bool>("rowByRow");
        QTest::addColumn<int>("atLeast");  // rows delivered
        QTest::newRow("third row") << 3 << false << false << 2;
        QTest::newRow("third row, window served") << 3 << true << false << 2;
        QTest::newRow("row 2500") << 2500 << false << false << 2499 - 1024;
        QTest::newRow("row 2500, window served") << 2500 << true << false << 2499 - 1024;
        // The server's fetch of rows 2499 and 2500 fails as a whole.
        QTest::newRow("row 2500, row by row") << 2500 << false << true << 2498;
        QTest::newRow("row 2500, row by row, window served") << 2500 << true << true << 2498;
    }
    void failedFetchComesAfterTheRowsBeforeIt() {
        QFETCH(int, failingRow);
        QFETCH(bool, served);
        QFETCH(bool, rowByRow);
        QFETCH(int, atLeast);
        standin::Login owner;
        owner.exec(QStringLiteral("CREATE VIEW breaks AS SELECT 10 / (%1 - g) AS v "
                                  "FROM generate_series(1, %1 + 2) g")
                       .arg(failingRow));
        ServerCallWatch watch;
        watch.serves = served;
        // Fetched from the server two rows at a time, so a fetch fails, not the query.
        const QString streaming = streamingConnectionString(owner, "Fetch=2;");
        db::Connection connection =
            watchedConnection(watch, rowByRow ? withoutBlockReads(streaming) : streaming);
        db::ResultSet result = connection.query(QStringLiteral("SELECT v FROM breaks"));
        QStringList read;
        try {
            while (result.next()) read << result.value(0).value_or(QString());
            QFAIL("no failure");
        } catch (const DbError& error) {
            QVERIFY2(error.description().contains(QStringLiteral("division by zero")),
                     qPrintable(error.description()));
        }
        QStringList expected;
        for (int g = 1; g < failingRow; ++g) expected << QString::number(10 / (failingRow - g));
        QVERIFY2(read.size() >= atLeast, qPrintable(QString::number(read.size())));
        QCOMPARE(read, expected.mid(0, read.size()));
        QVERIFY(!result.next());
        QVERIFY(watch.paired());
    }

    // A read closed part-way while the next rows are being made ahead waits
    // for them, and the connection serves the next statement.
    void readClosedWhileRowsAreMadeAhead() {
        standin::Login owner;
        ServerCallWatch watch;
        watch.serves = true;
        // Rows streamed from the server, so rows are still to come at the close.
        db::Connection connection = watchedConnection(watch, streamingConnectionString(owner));
        for (int i = 0; i < 3; ++i) {
            db::ResultSet result = connection.query(
                QStringLiteral("SELECT g, repeat('x', g % 300) FROM generate_series(1, 200000) g"));
            for (int row = 1; row <= 1500; ++row) {
                QVERIFY(result.next());
                QCOMPARE(result.value(0), db::Value(QString::number(row)));
            }
        }
        QCOMPARE(onlyValue(connection, QStringLiteral("SELECT 'next'")), QStringLiteral("next"));
        QVERIFY(watch.paired());
    }

    // A failing row fails the batch, with the engine's own words.
    void failingRowFailsTheBatch_data() {
        QTest::addColumn<Engine>("engine");
        QTest::addColumn<QString>("words");
        QTest::newRow("oracle") << Engine::Oracle << "value too long for type character varying(5)";
        QTest::newRow("staging") << Engine::Staging << "CHECK constraint failed";
    }
    void failingRowFailsTheBatch() {
        QFETCH(Engine, engine);
        QFETCH(QString, words);
        Rig rig(engine);
        db::Connection connection = rig.connect();
        connection.execute(QStringLiteral("CREATE TABLE t (v varchar(5) CHECK (length(v) <= 5))"));
        db::PreparedStatement insert =
            connection.prepare(QStringLiteral("INSERT INTO t VALUES (?)"));
        const std::vector<db::Row> batch{{QStringLiteral("a")},
                                         {QStringLiteral("bb")},
                                         {QStringLiteral("too long")},
                                         {QStringLiteral("c")}};
        try {
            insert.executeCommitted(batch);
            QFAIL("no failure");
        } catch (const DbError& error) {
            QVERIFY2(error.description().contains(words), qPrintable(error.description()));
            QVERIFY(!error.connectionLost());
        }
        // The statement serves again after the failure.
        insert.execute({QStringLiteral("d")});
        QVERIFY(AllRows(connection, QStringLiteral("SELECT v FROM t")).contains(QStringList{"d"}));
    }

    // A transaction's statements take effect at its commit, or not at all.
    void transactions_data() {
        QTest::addColumn<Engine>("engine");
        QTest::addColumn<Ending>("ending");
        QTest::addColumn<bool>("kept");
        QTest::addColumn<bool>("stillOpen");
        const Ending commit = [](db::Connection& connection) { connection.commit(); };
        const Ending rollback = [](db::Connection& connection) { connection.rollback(); };
        const Ending close = [](db::Connection& connection) { connection.close(); };
        for (const auto& [name, engine] :
             {std::pair{"oracle", Engine::Oracle}, std::pair{"staging", Engine::Staging}}) {
            QTest::addRow("%s commit", name) << engine << commit << true << true;
            QTest::addRow("%s rollback", name) << engine << rollback << false << true;
            QTest::addRow("%s closed while open", name) << engine << close << false << false;
        }
    }
    void transactions() {
        QFETCH(Engine, engine);
        QFETCH(Ending, ending);
        QFETCH(bool, kept);
        QFETCH(bool, stillOpen);
        Rig rig(engine);
        {
            db::Connection connection = rig.connect();
            connection.execute(QStringLiteral("CREATE TABLE t (v varchar(5))"));
            connection.beginTransaction();
            connection.execute(QStringLiteral("INSERT INTO t VALUES ('a')"));
            db::PreparedStatement insert =
                connection.prepare(QStringLiteral("INSERT INTO t VALUES (?)"));
            insert.execute({QStringLiteral("b")});
            insert.execute({QStringLiteral("c")});
            ending(connection);
            QCOMPARE(connection.isOpen(), stillOpen);
            if (stillOpen) {
                // Back to statements that take effect by themselves.
                connection.execute(QStringLiteral("INSERT INTO t VALUES ('z')"));
                QVERIFY_THROWS_EXCEPTION(DbError, connection.commit());
            }
        }
        db::Connection other = rig.connect();
        QList<QStringList> expected;
        if (kept) expected << QStringList{"a"} << QStringList{"b"} << QStringList{"c"};
        if (stillOpen) expected << QStringList{"z"};
        QCOMPARE(AllRows(other, QStringLiteral("SELECT v FROM t ORDER BY v")), expected);
    }

    // Only one statement is prepared at a time, and each row brings a value
    // for every "?".
    void prepareRefusesWhatItCannotRun_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<int>("values");
        QTest::addColumn<bool>("refused");
        QTest::newRow("second statement") << "INSERT INTO t VALUES (?); DELETE FROM t" << 1 << true;
        QTest::newRow("trailing comment") << "INSERT INTO t VALUES (?); -- the end" << 1 << false;
        QTest::newRow("too few values") << "INSERT INTO t VALUES (?)" << 0 << true;
        QTest::newRow("too many values") << "INSERT INTO t VALUES (?)" << 2 << true;
    }
    void prepareRefusesWhatItCannotRun() {
        QFETCH(QString, statement);
        QFETCH(int, values);
        QFETCH(bool, refused);
        StagingFile file;
        db::Connection staging = file.connectWithKeptRow();
        try {
            staging.prepare(statement).execute(db::Row(size_t(values), QStringLiteral("v")));
            QVERIFY(!refused);
        } catch (const DbError& error) {
            QVERIFY2(refused, qPrintable(error.description()));
        }
        QVERIFY(AllRows(staging, QStringLiteral("SELECT v FROM t")).contains(QStringList{"kept"}));
    }

    // The staging file runs one statement per call, whichever the call:
    // text after it is refused and takes no effect, unless it is only
    // blanks, comments and semicolons.
    void stagingRunsOneStatementPerCall_data() {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("tail");
        QTest::addColumn<bool>("refused");
        struct Tail {
            const char* name;
            QString text;
            bool refused;
        };
        const QList<Tail> tails = {
            {"second statement", QStringLiteral("; DELETE FROM t"), true},
            {"second statement without semicolon", QStringLiteral(" DELETE FROM t"), true},
            {"tail that would not prepare", QStringLiteral("; DELETE FROM nowhere"), true},
            {"line comment", QStringLiteral("; -- DELETE FROM t"), false},
            {"block comment", QStringLiteral(";/* DELETE FROM t */ ;\n "), false},
            {"semicolons and blanks", QStringLiteral(" ; ;\t\n"), false},
        };
        for (const char* call : {"execute", "query", "prepare"})
            for (const Tail& tail : tails)
                QTest::addRow("%s, %s", call, tail.name) << call << tail.text << tail.refused;
    }
    void stagingRunsOneStatementPerCall() {
        QFETCH(QString, call);
        QFETCH(QString, tail);
        QFETCH(bool, refused);
        StagingFile file;
        db::Connection staging = file.connectWithKeptRow();
        try {
            if (call == QStringLiteral("execute"))
                staging.execute(QStringLiteral("INSERT INTO t VALUES ('new')") + tail);
            if (call == QStringLiteral("query")) {
                db::ResultSet result = staging.query(QStringLiteral("SELECT v FROM t") + tail);
                while (result.next()) {
                }
                staging.execute(QStringLiteral("INSERT INTO t VALUES ('new')"));
            }
            if (call == QStringLiteral("prepare"))
                staging.prepare(QStringLiteral("INSERT INTO t VALUES (?)") + tail)
                    .execute({QStringLiteral("new")});
            QVERIFY(!refused);
        } catch (const DbError& error) {
            QVERIFY2(refused, qPrintable(error.description()));
        }
        QList<QStringList> expected{{"kept"}};
        if (!refused) expected << QStringList{"new"};
        QCOMPARE(AllRows(staging, QStringLiteral("SELECT v FROM t ORDER BY rowid")), expected);
    }

    // A failure of the staging file itself names the file beside SQLite's
    // own words, so the error box tells which file to look at; a failure of
    // the statement alone keeps its words as they are.
    void stagingFailuresNameTheFile_data() {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("words");
        QTest::newRow("folder missing") << "missing folder"
                                        << "unable to open database file";
        QTest::newRow("locked") << "locked"
                                << "database is locked";
        QTest::newRow("not a database") << "garbage"
                                        << "file is not a database";
        QTest::newRow("malformed") << "malformed"
                                   << "database disk image is malformed";
        QTest::newRow("statement failure") << "no table"
                                           << "no such table: t";
    }
    void stagingFailuresNameTheFile() {
        QFETCH(QString, cause);
        QFETCH(QString, words);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("temp.mdb"));
        const auto open = [&] {
            db::Connection connection;
            connection.setConnectionTimeout(1);
            connection.open(QStringLiteral("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=") +
                            attributeValueText(path) + QLatin1Char(';'));
            return connection;
        };
        std::optional<db::Connection> holder;
        if (cause == QStringLiteral("missing folder"))
            path = dir.filePath(QStringLiteral("gone/temp.mdb"));
        if (cause == QStringLiteral("locked")) {
            holder = open();
            holder->execute(QStringLiteral("CREATE TABLE t (v TEXT)"));
            holder->execute(QStringLiteral("BEGIN IMMEDIATE"));
        }
        if (cause == QStringLiteral("garbage")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(8192, '\x5a'));
        }
        if (cause == QStringLiteral("malformed")) {
            {
                db::Connection made = open();
                made.execute(QStringLiteral("PRAGMA journal_mode=DELETE"));
                made.execute(QStringLiteral("CREATE TABLE t (v TEXT)"));
                made.execute(QStringLiteral(
                    "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < "
                    "2000) INSERT INTO t SELECT printf('%0100d', x) FROM c"));
            }
            // The table's pages past the first, overwritten.
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.seek(3 * 4096));
            file.write(QByteArray(8 * 4096, '\x5a'));
        }
        try {
            db::Connection connection = open();
            connection.execute(QStringLiteral("INSERT INTO t VALUES ('new')"));
            AllRows(connection, QStringLiteral("SELECT count(*), max(v) FROM t"));
            QFAIL("no failure");
        } catch (const DbError& error) {
            QVERIFY2(error.description().contains(words), qPrintable(error.description()));
            if (cause == QStringLiteral("no table"))
                QCOMPARE(error.description(), words);
            else
                QVERIFY2(error.description().contains(QDir::toNativeSeparators(path)),
                         qPrintable(error.description()));
        }
    }

    // A long statement on the staging file lets the window work meanwhile,
    // and stops when the run is abandoned.
    void longStagingStatementYields_data() {
        QTest::addColumn<bool>("abandon");
        QTest::newRow("served") << false;
        QTest::newRow("abandoned") << true;
    }
    void longStagingStatementYields() {
        QFETCH(bool, abandon);
        StagingFile file;
        RecordingRunContext context;
        int yields = 0;
        context.onYield = [&] {
            if (++yields == 3 && abandon) context.abandon();
        };
        db::Connection staging;
        staging.setRunContext(&context);
        staging.open(file.connect().connectionString());
        const QString count = QStringLiteral(
            "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 100000) "
            "SELECT count(*) FROM c");
        if (abandon) {
            QVERIFY_THROWS_EXCEPTION(RunAbandoned, onlyValue(staging, count));
            QCOMPARE(yields, 3);
            // The connection serves the next statement.
            QCOMPARE(onlyValue(staging, QStringLiteral("SELECT 7")), QStringLiteral("7"));
        } else {
            QCOMPARE(onlyValue(staging, count), QStringLiteral("100000"));
            QVERIFY2(yields > 10, qPrintable(QString::number(yields)));
        }
    }

    // With a window to serve, a staging statement runs on the worker: the
    // window stays served through one long step of SQLite's machine (here
    // a long sort), and closing the window interrupts the statement at once.
    void longStagingStatementOnTheWorker_data() {
        QTest::addColumn<bool>("abandon");
        QTest::newRow("served") << false;
        QTest::newRow("closed meanwhile") << true;
    }
    void longStagingStatementOnTheWorker() {
        QFETCH(bool, abandon);
        const LastWords givenUp([] {
            std::fputs("FAIL! the interrupted statement never returned\n", stderr);
            std::_Exit(1);
        });
        StagingFile file;
        EventLoopRunContext context;
        db::Connection staging;
        staging.setRunContext(&context);
        staging.open(file.connect().connectionString());
        ServedWatch watch([&](qint64 tick) {
            if (abandon && tick > 200) context.abandon();
        });
        bool failed = false;
        try {
            staging.execute(
                QStringLiteral("CREATE TABLE sorted AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL "
                               "SELECT x + 1 "
                               "FROM c WHERE x < %1) SELECT x FROM c ORDER BY (x * 7919) % 1000003")
                    .arg(abandon ? 50000000 : 2000000));
        } catch (const DbError&) {
            failed = true;
        }
        const qint64 took = watch.stop();
        QVERIFY2(watch.longestGap() < 100, qPrintable(QString::number(watch.longestGap())));
        QCOMPARE(failed, abandon);
        if (abandon) QVERIFY2(took < 1500, qPrintable(QString::number(took)));
    }

    // Every call that waits on the server is told to the run context, the
    // whole wait inside one call: connecting, statements, a prepared one in
    // a transaction, rows committed by themselves, a slow query.
    void serverCallsAreToldToTheRunContext() {
        standin::Login owner;
        ServerCallWatch watch;
        {
            db::Connection connection;
            connection.setRunContext(&watch);
            connection.open(owner.connect().connectionString());
            QVERIFY(watch.calls > 0);
            connection.execute(QStringLiteral("CREATE TABLE t (v varchar(5))"));
            db::PreparedStatement insert =
                connection.prepare(QStringLiteral("INSERT INTO t VALUES (?)"));
            connection.beginTransaction();
            insert.execute({QStringLiteral("a")});
            connection.commit();
            const std::vector<db::Row> rows{{QStringLiteral("b")}, {QStringLiteral("c")}};
            insert.executeCommitted(rows);
            QCOMPARE(onlyValue(connection, QStringLiteral("SELECT count(*) FROM t")),
                     QStringLiteral("3"));
            onlyValue(connection, QStringLiteral("SELECT pg_sleep(0.3)"));
        }
        QVERIFY2(watch.longestNs >= 300'000'000, qPrintable(QString::number(watch.longestNs)));
        QVERIFY(watch.paired());
    }

    // A call that keeps the server busy leaves the window served: a timer
    // ticks all through it. A failure still carries the driver's words.
    void slowServerCallsLeaveTheWindowServed_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("failure");
        QTest::newRow("slow query") << QStringLiteral("SELECT pg_sleep(0.4)") << QString();
        QTest::newRow("slow failure")
            << QStringLiteral("SELECT 1 / (count(*) - 1) FROM (SELECT pg_sleep(0.4)) s")
            << QStringLiteral("division by zero");
    }
    void slowServerCallsLeaveTheWindowServed() {
        QFETCH(QString, statement);
        QFETCH(QString, failure);
        standin::Login owner;
        EventLoopRunContext context;
        db::Connection connection;
        connection.setRunContext(&context);
        connection.open(owner.connect().connectionString());

        ServedWatch watch;
        QString failed;
        try {
            connection.execute(statement);
        } catch (const DbError& error) {
            failed = error.description();
        }
        const qint64 took = watch.stop();

        QVERIFY2(took >= 400, qPrintable(QString::number(took)));
        QVERIFY2(watch.longestGapToTheEnd() < 100,
                 qPrintable(QString::number(watch.longestGapToTheEnd())));
        QVERIFY2(failure.isEmpty() ? failed.isEmpty() : failed.contains(failure),
                 qPrintable(failed));
        // The connection serves the next statement on its own thread's turn.
        QCOMPARE(onlyValue(connection, QStringLiteral("SELECT 7")), QStringLiteral("7"));
    }

    // Closing the window cancels the call in flight: a sleeping query, or a
    // DROP waiting for a lock that another session holds, ends at once with
    // the server's words, the run's next yield ends the run, and what the
    // DROP was to remove is still there.
    void abandoningCancelsTheCallInFlight_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<bool>("locked");
        QTest::newRow("sleeping query") << QStringLiteral("SELECT pg_sleep(30)") << false;
        QTest::newRow("drop waiting for a lock") << QStringLiteral("DROP TABLE \"T\"") << true;
    }
    void abandoningCancelsTheCallInFlight() {
        QFETCH(QString, statement);
        QFETCH(bool, locked);
        standin::Login owner;
        owner.exec(QStringLiteral("CREATE TABLE \"T\" (\"V\" varchar(5))"));
        db::Connection holder = owner.connect();
        if (locked) {
            holder.beginTransaction();
            holder.execute(QStringLiteral("LOCK TABLE \"T\" IN ACCESS SHARE MODE"));
        }
        // A call the cancel missed would be given up, and the program ended
        // under the test: that must not pass for success.
        const LastWords givenUp([] {
            std::fputs("FAIL! the cancelled call never returned\n", stderr);
            std::_Exit(1);
        });
        EventLoopRunContext context;
        db::Connection connection;
        connection.setRunContext(&context);
        connection.open(owner.connect().connectionString());
        QElapsedTimer sinceClose;
        QTimer::singleShot(300, this, [&] {
            sinceClose.start();
            context.abandon();
        });
        QString failed;
        try {
            connection.execute(statement);
        } catch (const DbError& error) {
            failed = error.description();
        }
        connection.close();
        QVERIFY(sinceClose.isValid());
        QVERIFY2(sinceClose.elapsed() < 1000, qPrintable(QString::number(sinceClose.elapsed())));
        QVERIFY2(failed.contains(QStringLiteral("canceling statement due to user request")),
                 qPrintable(failed));
        QVERIFY_THROWS_EXCEPTION(RunAbandoned, context.yield());
        if (locked) holder.rollback();
        QCOMPARE(owner.rows(QStringLiteral("SELECT table_name FROM user_tables")),
                 (QList<QStringList>{{"T"}}));
    }

    // Each capability that a driver may lack, switched off in the
    // Oracle-manners driver over the real one, takes its own path, and
    // without the driver's answer a lost session is told by its codes. The
    // values arrive whole either way, and on every path the rows go in one
    // call to the server and come out in few: none hands over per row.
    void capabilitiesSwitchedOff_data() {
        QTest::addColumn<QString>("lacks");
        QTest::newRow("driver's own") << "";
        QTest::newRow("no GetData in a block") << "OmNoBlockGetData=1;";
        QTest::newRow("no parameter arrays") << "OmNoParamArrays=1;";
        QTest::newRow("no connection-dead answer") << "OmNoConnectionDead=1;";
        QTest::newRow("none of them")
            << "OmNoBlockGetData=1;OmNoParamArrays=1;OmNoConnectionDead=1;";
    }
    void capabilitiesSwitchedOff() {
        QFETCH(QString, lacks);
        standin::Login owner;
        ServerCallWatch watch;
        db::Connection connection;
        connection.setRunContext(&watch);
        connection.open(lacks.isEmpty() ? owner.connect().connectionString()
                                        : standin::throughOracleManners(
                                              owner.connect().connectionString(), lacks));
        connection.execute(QStringLiteral("CREATE TABLE t (k integer, v text)"));
        constexpr int Rows = 500;
        std::vector<db::Row> rows;
        for (int i = 0; i < Rows; ++i)
            rows.push_back({QString::number(i), i % 7 == 0 ? db::Value()
                                                : i % 5 == 0
                                                    ? db::Value(QString(4500 + i, QChar(0x00E4)))
                                                    : db::Value(QStringLiteral("v%1 😀").arg(i))});
        db::PreparedStatement insert =
            connection.prepare(QStringLiteral("INSERT INTO t VALUES (?, ?)"));
        int before = watch.calls;
        insert.executeCommitted(rows);
        const int runCalls = watch.calls - before;

        before = watch.calls;
        db::ResultSet result = connection.query(QStringLiteral("SELECT k, v FROM t ORDER BY k"));
        int count = 0;
        while (result.next()) {
            QVERIFY(count < Rows);
            QVERIFY2(result.row() == rows[size_t(count)], qPrintable(QString::number(count)));
            ++count;
        }
        QCOMPARE(count, Rows);
        const int readCalls = watch.calls - before;
        QCOMPARE(runCalls, 1);
        QVERIFY2(readCalls < 10, qPrintable(QString::number(readCalls)));

        owner.endSessions();
        try {
            connection.execute(QStringLiteral("SELECT 1"));
            QFAIL("no failure");
        } catch (const DbError& error) {
            QVERIFY2(error.connectionLost(), qPrintable(error.description()));
        }
    }

    // Rows run as a transaction of their own are one call to the server as
    // the run sees it (one hand-over to the worker when a window is served),
    // whatever the driver does inside it, and take effect all or not at
    // all; the connection runs statements of its own again afterwards. Run
    // in two halves, the call is the wait at the finish, and a failure comes
    // there.
    void committedRowsAreOneCall_data() {
        QTest::addColumn<QString>("lacks");
        QTest::addColumn<bool>("serves");
        QTest::addColumn<bool>("failing");
        QTest::addColumn<bool>("halves");
        for (const bool halves : {false, true}) {
            for (const bool serves : {false, true}) {
                const QString how = QString::fromLatin1(serves ? "on the worker" : "here") +
                                    QString::fromLatin1(halves ? ", begun and finished" : "");
                const QByteArray h = how.toLatin1();
                QTest::addRow("arrays, %s", h.constData()) << "" << serves << false << halves;
                QTest::addRow("row by row, %s", h.constData())
                    << "OmNoParamArrays=1;" << serves << false << halves;
                QTest::addRow("arrays, a row fails, %s", h.constData())
                    << "" << serves << true << halves;
                QTest::addRow("row by row, a row fails, %s", h.constData())
                    << "OmNoParamArrays=1;" << serves << true << halves;
                QTest::addRow("statuses left untouched, %s", h.constData())
                    << "OmArrayStatus=untouched;" << serves << false << halves;
                QTest::addRow("statuses left untouched, a row fails, %s", h.constData())
                    << "OmArrayStatus=untouched;" << serves << true << halves;
            }
        }
    }
    void committedRowsAreOneCall() {
        QFETCH(QString, lacks);
        QFETCH(bool, serves);
        QFETCH(bool, failing);
        QFETCH(bool, halves);
        standin::Login owner;
        owner.exec(QStringLiteral("CREATE TABLE t (k varchar(5))"));
        ServerCallWatch watch;
        watch.serves = serves;
        db::Connection connection;
        connection.setRunContext(&watch);
        connection.open(lacks.isEmpty() ? owner.connect().connectionString()
                                        : standin::throughOracleManners(
                                              owner.connect().connectionString(), lacks));
        db::PreparedStatement insert =
            connection.prepare(QStringLiteral("INSERT INTO t VALUES (?)"));
        std::vector<db::Row> rows;
        for (int i = 0; i < 1500; ++i)
            rows.push_back(
                {failing && i == 1400 ? QStringLiteral("too long") : QString::number(i)});
        const int before = watch.calls;
        const auto run = [&] {
            if (!halves) return insert.executeCommitted(rows);
            insert.beginCommitted(rows);
            QCOMPARE(watch.calls - before, 0);
            insert.finishCommitted();
        };
        if (failing)
            QVERIFY_THROWS_EXCEPTION(DbError, run());
        else
            run();
        QCOMPARE(watch.calls - before, 1);
        QVERIFY(watch.paired());
        QCOMPARE(owner.rows(QStringLiteral("SELECT count(*) FROM t")),
                 (QList<QStringList>{{failing ? "0" : "1500"}}));
        connection.execute(QStringLiteral("INSERT INTO t VALUES ('x')"));
        QCOMPARE(owner.rows(QStringLiteral("SELECT count(*) FROM t WHERE k = 'x'")),
                 (QList<QStringList>{{"1"}}));
        connection.beginTransaction();
        QVERIFY_THROWS_EXCEPTION(DbError, insert.executeCommitted(rows));
        insert.beginCommitted(rows);
        QVERIFY_THROWS_EXCEPTION(DbError, insert.finishCommitted());
        connection.rollback();
    }

    // Rows begun go to the server while the caller goes on, when a window
    // is served: the caller is back before the server is done with them.
    // A statement closed with rows still begun asks them to stop and waits:
    // they take effect all or not at all, and the connection goes on.
    void begunRowsGoWhileTheCallerGoesOn() {
        standin::Login owner;
        owner.exec(QStringLiteral("CREATE TABLE t (k varchar(5))"));
        ServerCallWatch watch;
        watch.serves = true;
        db::Connection connection = watchedConnection(watch, owner.connect().connectionString());
        // Each row waits 20 ms on the server: 10 rows, 200 ms.
        owner.exec(
            QStringLiteral("CREATE FUNCTION slow() RETURNS trigger LANGUAGE plpgsql AS "
                           "$$BEGIN PERFORM pg_sleep(0.02); RETURN NEW; END$$"));
        owner.exec(QStringLiteral(
            "CREATE TRIGGER slow BEFORE INSERT ON t FOR EACH ROW EXECUTE FUNCTION slow()"));
        std::vector<db::Row> rows;
        for (int i = 0; i < 10; ++i) rows.push_back({QString::number(i)});
        {
            db::PreparedStatement insert =
                connection.prepare(QStringLiteral("INSERT INTO t VALUES (?)"));
            QElapsedTimer clock;
            clock.start();
            insert.beginCommitted(rows);
            QVERIFY2(clock.elapsed() < 100, qPrintable(QString::number(clock.elapsed())));
            insert.finishCommitted();
            QVERIFY2(clock.elapsed() >= 200, qPrintable(QString::number(clock.elapsed())));
            insert.beginCommitted(rows);
        }
        QVERIFY(watch.paired());
        const QString count = owner.rows(QStringLiteral("SELECT count(*) FROM t")).front().front();
        QVERIFY2(count == "10" || count == "20", qPrintable(count));
        QCOMPARE(onlyValue(connection, QStringLiteral("SELECT 'next'")), QStringLiteral("next"));
    }

    // A driver may stop part-way through an array and leave the rest of its
    // rows unused, with no failing row to show for it: the batch fails
    // rather than pass off rows never run as written, and the rows it ran
    // are rolled back with it.
    void rowsADriverNeverRanFailTheBatch() {
        standin::Login owner;
        db::Connection connection;
        connection.open(standin::throughOracleManners(owner.connect().connectionString(),
                                                      QStringLiteral("OmArrayStopsHalfway=1;")));
        connection.execute(QStringLiteral("CREATE TABLE t (k integer)"));
        std::vector<db::Row> rows;
        for (int i = 0; i < 10; ++i) rows.push_back({QString::number(i)});
        db::PreparedStatement insert =
            connection.prepare(QStringLiteral("INSERT INTO t VALUES (?)"));
        QVERIFY_THROWS_EXCEPTION(DbError, insert.executeCommitted(rows));
        QCOMPARE(owner.rows(QStringLiteral("SELECT count(*) FROM t")), (QList<QStringList>{{"0"}}));
    }

    // The run context need not outlive the connection object: what it
    // leaves behind never calls on the context again.
    void resultOutlivesItsConnectionObject() {
        standin::Login owner;
        ServerCallWatch watch;
        std::optional<db::ResultSet> result;
        {
            db::Connection connection;
            connection.setRunContext(&watch);
            connection.open(owner.connect().connectionString());
            result = connection.query(QStringLiteral("SELECT 'a' UNION ALL SELECT 'b'"));
        }
        const int calls = watch.calls;
        QVERIFY(result->next());
        QCOMPARE(result->value(0).value(), QStringLiteral("a"));
        while (result->next()) {
        }
        result.reset();
        QCOMPARE(watch.calls, calls);
        QVERIFY(watch.paired());
    }

    // What the log may show of a connection string: nothing from the first
    // password on, however the value is written.
    void connectionStringWithoutSecrets_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("oracle login")
            << "Driver={Microsoft ODBC for Oracle};Server=ORCL;Uid=scott;Pwd=tiger;"
            << "Driver={Microsoft ODBC for Oracle};Server=ORCL;Uid=scott;Pwd=<hidden>";
        QTest::newRow("braced password with semicolon and options after")
            << "Server=S;Uid=u;Pwd={ti;g}}er};UseDeclareFetch=1;"
            << "Server=S;Uid=u;Pwd=<hidden>";
        QTest::newRow("unbraced semicolon runs on") << "Uid=u;PASSWORD=ti;ger;X=1"
                                                    << "Uid=u;PASSWORD=<hidden>";
        QTest::newRow("spaces around the name") << "Uid=u; pwd =secret"
                                                << "Uid=u; pwd =<hidden>";
        QTest::newRow("no password") << "Driver={D};Server=S;Uid=u;"
                                     << "Driver={D};Server=S;Uid=u;";
        QTest::newRow("staging file") << "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=/t/temp.mdb;"
                                         "JET OLEDB:Database Password="
                                      << "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=/t/temp.mdb;"
                                         "JET OLEDB:Database Password=";
    }
    void connectionStringWithoutSecrets() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(::connectionStringWithoutSecrets(text), expected);
    }

    // A driver that repeats the connection string in its refusal: the
    // failure that travels up, shown in an error box, holds the password no
    // more than the log does, in whatever form the string carries it; the
    // rest of the driver's words stay as they are.
    void driverTextWithoutPassword_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("connectionString");
        QTest::addColumn<QString>("expected");
        QTest::newRow("braced, with ; and }")
            << "[drv]connect DSN=x;UID=scott;PWD={Xq}}9;a};DBQ=o failed"
            << "Uid=scott;Pwd={Xq}}9;a};"
            << "[drv]connect DSN=x;UID=scott;PWD=<hidden>;DBQ=o failed";
        QTest::newRow("plain") << "UID=scott;PWD=tiger;"
                               << "Uid=scott;Pwd=tiger;"
                               << "UID=scott;PWD=<hidden>;";
        QTest::newRow("spelled out, spaces") << "Password = tiger"
                                             << "Uid=scott;Pwd=tiger;"
                                             << "Password = <hidden>";
        QTest::newRow("braced form the string did not give") << "PWD={ti;ger} refused"
                                                             << "Uid=scott;Pwd=other;"
                                                             << "PWD=<hidden> refused";
        QTest::newRow("other form after Pwd=") << "PWD=****;X=1"
                                               << "Uid=scott;Pwd=tiger;"
                                               << "PWD=<hidden>;X=1";
        QTest::newRow("short password elsewhere") << "[unixODBC][Driver Manager]Can't open lib 'a'"
                                                  << "Uid=scott;Pwd=a;"
                                                  << "[unixODBC][Driver Manager]Can't open lib 'a'";
        QTest::newRow("no password") << "refused"
                                     << "Uid=scott;Pwd=;"
                                     << "refused";
        QTest::newRow("a name ending in pwd") << "OLDPWD=x"
                                              << "Uid=scott;Pwd=x;"
                                              << "OLDPWD=x";
    }
    void driverTextWithoutPassword() {
        QFETCH(QString, text);
        QFETCH(QString, connectionString);
        QFETCH(QString, expected);
        QCOMPARE(withoutSecrets(text, connectionString), expected);
    }
};

// Started with the closed reader's environment, this program is that reader
// (see closingDuringASleepingFetchReadRowByRow).
int main(int argc, char** argv) {
    TestDb::initMain();
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(ClosedReadConnection)) return runClosedRead();
    TestDb test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_db.moc"
