// The Oracle-manners driver (tests/oracle_manners) through the data access
// layer: each manner that other tests lean on shows as Oracle's would.
#include <sql.h>
#include <sqlext.h>

#include <QtTest>

#include "db/connection.h"
#include "db/db_error.h"
#include "support/scoped_environment.h"
#include "support/standin.h"

namespace {

db::Connection throughManners(const standin::Login& login, const QString& settings = {}) {
    db::Connection connection;
    connection.open(standin::throughOracleManners(login.connect().connectionString(), settings));
    return connection;
}

// The native code of the failure the statements end in; 0 when none fails.
long failureOf(db::Connection& connection, const QStringList& statements) {
    try {
        for (const QString& statement : statements) connection.execute(statement);
    } catch (const DbError& error) {
        if (error.state() != QStringLiteral("HY000") ||
            !error.description().startsWith(QStringLiteral("[Oracle][ODBC][Ora]ORA-")))
            qWarning() << error.details();
        return error.nativeCode();
    }
    return 0;
}

}  // namespace

class TestOracleManners : public QObject {
    Q_OBJECT

public:
    // The test of the client's character set sets its own.
    static void initMain() { standin::useTheProgramsClientCharacterSet(); }

private slots:
    // What Oracle refuses, refused with its SQLSTATE, ORA number and words.
    void refusals_data() {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<int>("ora");
        const QString wide = QStringLiteral("N").repeated(129);
        QStringList columns;
        for (int i = 0; i < 1001; ++i) columns << QStringLiteral("c%1 int").arg(i);
        const QString accents = QStringLiteral("ä").repeated(1001);  // 2,002 bytes
        const QString emoji = QStringLiteral("😀").repeated(1001);    // 4,004 bytes
        QTest::newRow("no table") << "" << QStringList{"SELECT * FROM nosuch"} << 942;
        QTest::newRow("name in use")
            << "" << QStringList{"CREATE TABLE t (x int)", "CREATE TABLE t (x int)"} << 955;
        QTest::newRow("name of 129 bytes")
            << "" << QStringList{QStringLiteral("CREATE TABLE \"%1\" (x int)").arg(wide)} << 972;
        QTest::newRow("name of 128 bytes")
            << "" << QStringList{QStringLiteral("CREATE TABLE \"%1\" (x int)").arg(wide.left(128))}
            << 0;
        QTest::newRow("name of 31 bytes, limit 30")
            << "OmNameLimit=30;"
            << QStringList{QStringLiteral("CREATE TABLE \"%1\" (x int)").arg(wide.left(31))} << 972;
        QTest::newRow("1,001 columns")
            << "" << QStringList{QStringLiteral("CREATE TABLE t (%1)").arg(columns.join(u','))}
            << 1792;
        QTest::newRow("1,000 columns") << ""
                                       << QStringList{QStringLiteral("CREATE TABLE t (%1)")
                                                          .arg(columns.mid(0, 1000).join(u','))}
                                       << 0;
        QTest::newRow("2,002 bytes in VARCHAR(2000)")
            << ""
            << QStringList{"CREATE TABLE t (v VARCHAR(2000))",
                           QStringLiteral("INSERT INTO t VALUES ('%1')").arg(accents)}
            << 12899;
        QTest::newRow("2,002 bytes in VARCHAR(2000), character semantics")
            << ""
            << QStringList{"ALTER SESSION SET NLS_LENGTH_SEMANTICS = CHAR",
                           "CREATE TABLE t (v VARCHAR(2000))",
                           QStringLiteral("INSERT INTO t VALUES ('%1')").arg(accents)}
            << 0;
        QTest::newRow("4,004 bytes in VARCHAR(2000), character semantics")
            << ""
            << QStringList{"ALTER SESSION SET NLS_LENGTH_SEMANTICS = CHAR",
                           "CREATE TABLE t (v VARCHAR(2000))",
                           QStringLiteral("INSERT INTO t VALUES ('%1')").arg(emoji)}
            << 12899;
        QTest::newRow("2,002 bytes, no length checks")
            << "OmNoLengthChecks=1;"
            << QStringList{"CREATE TABLE t (v VARCHAR(2000))",
                           QStringLiteral("INSERT INTO t VALUES ('%1')").arg(accents)}
            << 0;
    }
    void refusals() {
        QFETCH(QString, settings);
        QFETCH(QStringList, statements);
        QFETCH(int, ora);
        standin::Login owner;
        db::Connection connection = throughManners(owner, settings);
        QCOMPARE(failureOf(connection, statements), long(ora));
    }

    // The server's name and limits as the data layer reads them: Oracle's
    // through its manners, PostgreSQL's through psqlODBC itself.
    void serverNameAndLimits_data() {
        QTest::addColumn<bool>("manners");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QList<int>>("limits");  // columns, column name, table name
        QTest::newRow("psqlODBC") << false << ""
                                  << "PostgreSQL" << QList<int>{0, 63, 63};
        QTest::newRow("Oracle's") << true << ""
                                  << "Oracle" << QList<int>{1000, 128, 128};
        QTest::newRow("Oracle's, names of 30 bytes") << true << "OmNameLimit=30;"
                                                     << "Oracle" << QList<int>{1000, 30, 30};
    }
    void serverNameAndLimits() {
        QFETCH(bool, manners);
        QFETCH(QString, settings);
        QFETCH(QString, name);
        QFETCH(QList<int>, limits);
        standin::Login owner;
        db::Connection connection = manners ? throughManners(owner, settings) : owner.connect();
        QCOMPARE(connection.dbmsName(), name);
        const db::ServerLimits reported = connection.limits();
        QCOMPARE((QList<int>{reported.columnsInTable, reported.columnNameBytes,
                             reported.tableNameBytes}),
                 limits);
    }

    // '' is NULL both ways; without a UTF-8 NLS_LANG every character
    // outside ASCII is '?' both ways, a pair of code units as one.
    void textAsOraclesClientHandsItOver_data() {
        QTest::addColumn<QByteArray>("lang");
        QTest::addColumn<QString>("read");
        QTest::newRow("UTF-8 client") << QByteArray(".AL32UTF8") << "ä😀x";
        QTest::newRow("NLS_LANG unset") << QByteArray() << "??x";
        QTest::newRow("Western European client")
            << QByteArray("GERMAN_GERMANY.WE8ISO8859P1") << "??x";
    }
    void textAsOraclesClientHandsItOver() {
        QFETCH(QByteArray, lang);
        QFETCH(QString, read);
        standin::Login owner;
        owner.exec(QStringLiteral("CREATE TABLE t (k int, v text)"));
        {
            const ScopedEnvironment client({{"NLS_LANG", lang}});
            db::Connection connection = throughManners(owner);
            db::PreparedStatement insert =
                connection.prepare(QStringLiteral("INSERT INTO t VALUES (?, ?)"));
            insert.executeCommitted(
                std::vector<db::Row>{{QStringLiteral("1"), QStringLiteral("ä😀x")},
                                     {QStringLiteral("2"), QStringLiteral("")}});
            connection.execute(QStringLiteral("INSERT INTO t VALUES (3, ''), (4, 'ä😀x')"));
            QCOMPARE(AllRows(connection, QStringLiteral("SELECT v FROM t ORDER BY k")),
                     (QList<QStringList>{{read}, {"<null>"}, {"<null>"}, {read}}));
            QCOMPARE(AllRows(connection, QStringLiteral("SELECT ''")),
                     (QList<QStringList>{{"<null>"}}));
        }
        QCOMPARE(owner.rows(QStringLiteral("SELECT v FROM t ORDER BY k")),
                 (QList<QStringList>{{read}, {"<null>"}, {"<null>"}, {read}}));
    }

    // DDL commits the open transaction, before and after; on a table that
    // another session holds it fails at once.
    void ddl() {
        standin::Login owner;
        owner.exec(QStringLiteral("CREATE TABLE t (x int)"));
        db::Connection connection = throughManners(owner);
        connection.beginTransaction();
        connection.execute(QStringLiteral("INSERT INTO t VALUES (1)"));
        connection.execute(QStringLiteral("CREATE TABLE u (x int)"));
        connection.execute(QStringLiteral("INSERT INTO t VALUES (2)"));
        connection.rollback();
        QCOMPARE(owner.rows(QStringLiteral("SELECT x FROM t")), (QList<QStringList>{{"1"}}));

        db::Connection holder = owner.connect();
        holder.beginTransaction();
        holder.execute(QStringLiteral("INSERT INTO t VALUES (3)"));
        QCOMPARE(failureOf(connection, {"ALTER TABLE t RENAME TO v"}), 54L);
        QCOMPARE(failureOf(connection, {"DROP TABLE t"}), 54L);
        holder.rollback();
        QCOMPARE(failureOf(connection, {"DROP TABLE t"}), 0L);
    }

    // A lost connection answers the chosen code once, then the code of a
    // session that is gone, to every call: rollback and autocommit too. The
    // program's connection keeps the first cause and sends nothing more, so
    // the later calls are made on the driver's own handle.
    void lostConnection_data() {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("later");
        QTest::newRow("end of file") << "" << 3113 << 3114;
        QTest::newRow("killed session") << "OmLostCode=28;" << 28 << 1012;
        QTest::newRow("idle limit") << "OmLostCode=2396;" << 2396 << 1012;
        QTest::newRow("network") << "OmLostCode=12570;" << 12570 << 3114;
    }
    void lostConnection() {
        QFETCH(QString, settings);
        QFETCH(int, first);
        QFETCH(int, later);
        standin::Login owner;
        const QByteArray text =
            standin::throughOracleManners(owner.connect().connectionString(), settings).toUtf8();
        SQLHENV env = SQL_NULL_HENV;
        SQLHDBC dbc = SQL_NULL_HDBC;
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
        SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
        const auto freeAll = qScopeGuard([&] {
            SQLDisconnect(dbc);
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
            SQLFreeHandle(SQL_HANDLE_ENV, env);
        });
        QVERIFY(SQL_SUCCEEDED(SQLDriverConnect(
            dbc, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.constData())), SQL_NTS,
            nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT)));
        SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT,
                          reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER);
        // The native code of a statement's failure, or 0 when it went through.
        const auto run = [&] {
            SQLHSTMT stmt = SQL_NULL_HSTMT;
            SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
            SQLINTEGER native = 0;
            if (!SQL_SUCCEEDED(SQLExecDirect(stmt, (SQLCHAR*)"SELECT 1", SQL_NTS))) {
                SQLCHAR state[6];
                SQLGetDiagRec(SQL_HANDLE_STMT, stmt, 1, state, &native, nullptr, 0, nullptr);
            }
            SQLFreeHandle(SQL_HANDLE_STMT, stmt);
            return long(native);
        };
        QCOMPARE(run(), 0L);
        owner.endSessions();
        QCOMPARE(run(), long(first));
        QCOMPARE(run(), long(later));
        QVERIFY(!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK)));
        SQLCHAR state[6];
        SQLINTEGER native = 0;
        SQLGetDiagRec(SQL_HANDLE_DBC, dbc, 1, state, &native, nullptr, 0, nullptr);
        QCOMPARE(long(native), long(later));
    }
};

QTEST_GUILESS_MAIN(TestOracleManners)
#include "test_oracle_manners.moc"
