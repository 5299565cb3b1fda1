// Oracle access against the stand-in server: the connection string, the
// login check and the connection test.
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "base/app_title.h"
#include "base/pointer_state.h"
#include "db/connection_string_attributes.h"
#include "oracle/check_oracle_login.h"
#include "oracle/oracle_connection_string.h"
#include "oracle/test_connection.h"
#include "support/recording_dialogs.h"
#include "support/standin.h"

namespace {
class FakePointer final : public WindowPointer {
public:
    void setPointerState(PointerState state) override {
        states << state;
        current = state;
    }
    PointerState pointerState() const override { return current; }
    QList<PointerState> states;
    PointerState current = PointerState::Default;
};
}  // namespace

class TestOracle : public QObject {
    Q_OBJECT

    QTemporaryDir m_settingsDir;

private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
        SetAppTitle();
    }

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

    // Values come back as the server's own text: every digit, every fraction
    // of a second, any character, long texts whole, Nulls as no value.
    void checkOracleLogin_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("works");
        QTest::newRow("right login") << "" << true;
        QTest::newRow("wrong password") << "password" << false;
        QTest::newRow("unknown SID folder") << "sid" << false;
        QTest::newRow("empty fields") << "empty" << false;
    }
    void checkOracleLogin() {
        QFETCH(QString, change);
        QFETCH(bool, works);
        standin::Login owner;
        OracleLogin login = owner.login();
        if (change == QStringLiteral("password")) login.password += QStringLiteral("x");
        if (change == QStringLiteral("sid")) login.sid = QStringLiteral("/tmp/qm-no-such-folder");
        if (change == QStringLiteral("empty")) login = {};
        QCOMPARE(CheckOracleLogin(login), works);

        RecordingDialogs dialogs;
        FakePointer pointer;
        TestConnection(login, dialogs, pointer);
        QCOMPARE(
            dialogs.texts(),
            QStringList{works ? QStringLiteral("Connection successful.")
                              : QStringLiteral(
                                    "Could not connect. Please check with your administrator.")});
        QCOMPARE(dialogs.shown.front().caption, QString());  // the application title
        QCOMPARE(dialogs.shown.front().icon, Dialogs::Icon::None);
        QCOMPARE(pointer.states,
                 (QList<PointerState>{PointerState::Hourglass, PointerState::Default}));
    }

    void passwordWithSemicolonLogsIn() {
        standin::Login owner;
        standin::admin().execute(
            QStringLiteral("ALTER ROLE \"%1\" PASSWORD 'se;c{r}et'").arg(owner.name()));
        QVERIFY(CheckOracleLogin({standin::sid(), owner.name(), QStringLiteral("se;c{r}et")}));
    }

    void testConnectionUsesTheFieldsOfTheMoment() {
        standin::Login owner;
        RecordingDialogs dialogs;
        FakePointer pointer;
        OracleLogin login = owner.login();
        TestConnection(login, dialogs, pointer);
        login.password = QStringLiteral("changed");
        TestConnection(login, dialogs, pointer);
        QCOMPARE(dialogs.texts(),
                 (QStringList{
                     QStringLiteral("Connection successful."),
                     QStringLiteral("Could not connect. Please check with your administrator.")}));
    }
};

QTEST_MAIN(TestOracle)
#include "test_oracle.moc"
