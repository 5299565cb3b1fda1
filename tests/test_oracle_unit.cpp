// The Oracle layer's pure routines, without a server: the connection string.
#include <QtTest>

#include "db/connection_string_attributes.h"
#include "oracle/oracle_connection_string.h"
#include "support/private_home.h"

class TestOracleUnit : public QObject {
    Q_OBJECT

public:
    // Before the application object: the program's home is a temporary one.
    static void initMain() { UsePrivateHome(); }

private slots:
    void connectionString_data() {
        QTest::addColumn<QString>("sid");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain")
            << "ZEDA"
            << "scott"
            << "tiger"
            << "Driver={Microsoft ODBC for Oracle};Server=ZEDA;Uid=scott;Pwd=tiger;";
        QTest::newRow("empty fields") << ""
                                      << ""
                                      << ""
                                      << "Driver={Microsoft ODBC for Oracle};Server=;Uid=;Pwd=;";
        QTest::newRow("blanks kept")
            << " ZEDA "
            << " a b"
            << "  "
            << "Driver={Microsoft ODBC for Oracle};Server= ZEDA ;Uid= a b;Pwd=  ;";
        QTest::newRow("equals sign kept")
            << "Z"
            << "u"
            << "a=b"
            << "Driver={Microsoft ODBC for Oracle};Server=Z;Uid=u;Pwd=a=b;";
        QTest::newRow("semicolon braced")
            << "Z"
            << "u"
            << "se;cret"
            << "Driver={Microsoft ODBC for Oracle};Server=Z;Uid=u;Pwd={se;cret};";
        QTest::newRow("closing brace doubled")
            << "Z"
            << "u"
            << "a}b{"
            << "Driver={Microsoft ODBC for Oracle};Server=Z;Uid=u;Pwd={a}}b{};";
    }
    void connectionString() {
        QFETCH(QString, sid);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, expected);
        const QString text = OracleConnectionString({sid, user, password});
        QCOMPARE(text, expected);
        // Whatever the value, the driver reads back exactly what was typed.
        QCOMPARE(findAttribute(text, QStringLiteral("Pwd")).value(), password);
        QCOMPARE(findAttribute(text, QStringLiteral("Server")).value(), sid);
    }

    // Driver options of a headless caller follow the login unchanged; the
    // windows' logins have none.
    void driverOptionsFollowTheLogin() {
        OracleLogin login{QStringLiteral("Z"), QStringLiteral("u"), QStringLiteral("p;w")};
        login.driverOptions = QStringLiteral("UseDeclareFetch=1;");
        QCOMPARE(OracleConnectionString(login),
                 QStringLiteral("Driver={Microsoft ODBC for Oracle};Server=Z;Uid=u;Pwd={p;w};"
                                "UseDeclareFetch=1;"));
    }
};

QTEST_GUILESS_MAIN(TestOracleUnit)
#include "test_oracle_unit.moc"
