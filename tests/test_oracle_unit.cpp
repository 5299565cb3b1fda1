// The Oracle layer's pure routines, without a server: the connection string
// and the client's character set.
#include <QtTest>

#include "db/connection_string_attributes.h"
#include "oracle/client_character_set.h"
#include "oracle/oracle_connection_string.h"
#include "support/private_home.h"
#include "support/scoped_environment.h"

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

    // NLS_LANG without a character set gets UTF-8, its language and
    // territory kept; a set it names stays, and one that is not UTF-8 is
    // logged as a warning and told in the connection test's note.
    void clientCharacterSet_data() {
        QTest::addColumn<QByteArray>("given");  // null: unset
        QTest::addColumn<QByteArray>("chosen");
        QTest::addColumn<bool>("lossy");
        QTest::newRow("unset") << QByteArray() << QByteArray(".AL32UTF8") << false;
        QTest::newRow("empty") << QByteArray("") << QByteArray(".AL32UTF8") << false;
        QTest::newRow("language and territory only")
            << QByteArray("AMERICAN_AMERICA") << QByteArray("AMERICAN_AMERICA.AL32UTF8") << false;
        QTest::newRow("empty set")
            << QByteArray("GERMAN_GERMANY.") << QByteArray("GERMAN_GERMANY.AL32UTF8") << false;
        QTest::newRow("UTF-8") << QByteArray(".AL32UTF8") << QByteArray(".AL32UTF8") << false;
        QTest::newRow("Oracle's older UTF-8, lower case")
            << QByteArray("GERMAN_GERMANY.utf8") << QByteArray("GERMAN_GERMANY.utf8") << false;
        QTest::newRow("Western European") << QByteArray("GERMAN_GERMANY.WE8ISO8859P1")
                                          << QByteArray("GERMAN_GERMANY.WE8ISO8859P1") << true;
        QTest::newRow("ASCII") << QByteArray(".US7ASCII") << QByteArray(".US7ASCII") << true;
    }
    void clientCharacterSet() {
        QFETCH(QByteArray, given);
        QFETCH(QByteArray, chosen);
        QFETCH(bool, lossy);
        const ScopedEnvironment client({{"NLS_LANG", given}});
        const QString set = QString::fromLatin1(chosen.mid(chosen.lastIndexOf('.') + 1));
        const QRegularExpression warning(
            QStringLiteral("^NLS_LANG names the client character set %1, not UTF-8: characters "
                           "outside it become \\? ")
                .arg(set));
        if (lossy)
            QTest::ignoreMessage(QtWarningMsg, warning);
        else
            QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        ChooseClientCharacterSet();
        QCOMPARE(qgetenv("NLS_LANG"), chosen);
        QCOMPARE(warning.match(ClientCharacterSetNote()).hasMatch(), lossy);
        QCOMPARE(ClientCharacterSetNote().isEmpty(), !lossy);
    }
};

QTEST_GUILESS_MAIN(TestOracleUnit)
#include "test_oracle_unit.moc"
