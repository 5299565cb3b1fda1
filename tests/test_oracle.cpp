// The Oracle side against the stand-in server: the data access layer, the
// connection string, the login check and the connection test, the login window.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStyle>
#include <QTemporaryDir>
#include <QtTest>

#include "oracle/check_oracle_login.h"
#include "oracle/connection.h"
#include "oracle/connection_string_attributes.h"
#include "oracle/db_error.h"
#include "oracle/form1.h"
#include "oracle/login_help_texts.h"
#include "oracle/oracle_connection_string.h"
#include "oracle/test_connection.h"
#include "shell/app_title.h"
#include "shell/settings_store.h"
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
        QTest::newRow("plain") << "ZEDA" << "scott" << "tiger"
                               << "Driver={Microsoft ODBC for Oracle};Server=ZEDA;Uid=scott;Pwd=tiger;";
        QTest::newRow("empty fields") << "" << "" << ""
                                      << "Driver={Microsoft ODBC for Oracle};Server=;Uid=;Pwd=;";
        QTest::newRow("blanks kept") << " ZEDA " << " a b" << "  "
                                     << "Driver={Microsoft ODBC for Oracle};Server= ZEDA ;Uid= a b;Pwd=  ;";
        QTest::newRow("equals sign kept") << "Z" << "u" << "a=b"
                                          << "Driver={Microsoft ODBC for Oracle};Server=Z;Uid=u;Pwd=a=b;";
        QTest::newRow("semicolon braced") << "Z" << "u" << "se;cret"
                                          << "Driver={Microsoft ODBC for Oracle};Server=Z;Uid=u;Pwd={se;cret};";
        QTest::newRow("closing brace doubled") << "Z" << "u" << "a}b{"
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
    void valuesAsText() {
        standin::Login owner;
        const QString longText = QString(20000, QLatin1Char('x')) + QStringLiteral("ende");
        owner.exec(QStringLiteral(
            "CREATE TABLE t (n numeric(38), d numeric(10,4), ts timestamp(6), u varchar(50), l text, z text, b bytea)"));
        owner.exec(QStringLiteral("INSERT INTO t VALUES (12345678901234567890123456789012345678, 0.1, "
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

    void failuresCarryTheDriversText() {
        standin::Login owner;
        db::Connection connection = owner.connect();
        try {
            connection.execute(QStringLiteral("SELECT * FROM no_such_table"));
            QFAIL("no failure");
        } catch (const DbError& error) {
            QVERIFY2(error.description().contains(QStringLiteral("no_such_table")), qPrintable(error.description()));
            QCOMPARE(error.state(), QStringLiteral("42P01"));
            QVERIFY(!error.description().contains(QStringLiteral("42P01")));
        }
        // The connection stays usable after a failed statement.
        QCOMPARE(owner.rows(QStringLiteral("SELECT 1")), (QList<QStringList>{{"1"}}));
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
        QCOMPARE(dialogs.texts(), QStringList{works ? QStringLiteral("Connection successful.")
                                                    : QStringLiteral("Could not connect. Please check with your administrator.")});
        QCOMPARE(dialogs.shown.front().caption, QString());  // the application title
        QCOMPARE(dialogs.shown.front().icon, Dialogs::Icon::None);
        QCOMPARE(pointer.states, (QList<PointerState>{PointerState::Hourglass, PointerState::Default}));
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
        QCOMPARE(dialogs.texts(), (QStringList{QStringLiteral("Connection successful."),
                                               QStringLiteral("Could not connect. Please check with your administrator.")}));
    }

    void helpTexts() {
        const QString text = SidHelpText();
        QVERIFY(text.startsWith(QStringLiteral("This software works with Oracle 9i or higher.\r\rThe SID is")));
        QVERIFY(text.contains(QStringLiteral("looks like:\r\n\r\nZEDA =\r\n (DESCRIPTION =\r\n   (ADDRESS_LIST =\r\n"
                                             "     (ADDRESS = (PROTOCOL = TCP)(HOST = ")));
        QVERIFY(text.endsWith(QStringLiteral("(PORT = 1521))\r\n   )\r\n   (CONNECT_DATA =\r\n     (SID = ZEDA)\r\n"
                                             "   )\r\n )\r\n\r\nTherefore, my SID would be ZEDA")));

        RecordingDialogs dialogs;
        Form1 form(dialogs);
        form.findChild<QPushButton*>(QStringLiteral("PushButton1"))->click();
        form.findChild<QPushButton*>(QStringLiteral("PushButton6"))->click();
        QCOMPARE(dialogs.texts(),
                 (QStringList{text, text, QStringLiteral("This software does not support the CLOB and NLOB data type in Oracle."),
                              QStringLiteral("You must have Access 2000 or higher installed.")}));
        for (const auto& shown : dialogs.shown) {
            QCOMPARE(shown.caption, QString());
            QCOMPARE(shown.icon, Dialogs::Icon::None);
        }
    }

    void loginWindowGeometry() {
        RecordingDialogs dialogs;
        Form1 form(dialogs);
        QCOMPARE(form.size(), QSize(536, 274));
        const struct {
            const char* name;
            QRect rect;
        } expected[] = {
            {"Frame1", {8, 8, 520, 161}},        {"Label2", {16, 27, 73, 17}},
            {"Text1", {88, 24, 369, 23}},        {"PushButton1", {464, 24, 41, 23}},
            {"Text2", {88, 56, 417, 23}},        {"Text3", {88, 88, 417, 23}},
            {"PushButton5", {16, 120, 240, 27}}, {"PushButton6", {264, 120, 240, 27}},
            {"Frame2", {8, 173, 520, 57}},       {"PushButton4", {16, 20, 487, 27}},
            {"PushButton3", {8, 239, 520, 27}},
        };
        for (const auto& control : expected) {
            auto* widget = form.findChild<QWidget*>(QString::fromLatin1(control.name));
            QVERIFY2(widget, control.name);
            QCOMPARE(widget->geometry(), control.rect);
        }
        auto* password = form.passwordField();
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QCOMPARE(password->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, password), int('*'));
        QCOMPARE(form.findChild<QPushButton*>(QStringLiteral("PushButton3"))->font().pointSizeF(), 11.25);
        QVERIFY(form.sidField()->font().bold());
        QCOMPARE(form.sidField()->accessibleName(), QStringLiteral("SID"));
    }

    void tabOrderAndSelection() {
        RecordingDialogs dialogs;
        Form1 form(dialogs);
        form.sidField()->setText(QStringLiteral("sid"));
        form.userField()->setText(QStringLiteral("user"));
        form.passwordField()->setText(QStringLiteral("pw"));
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.sidField()->setFocus(Qt::ActiveWindowFocusReason);
        QCOMPARE(form.sidField()->selectedText(), QStringLiteral("sid"));
        QCOMPARE(form.sidField()->cursorPosition(), 0);

        const QStringList order = {"PushButton1", "Text2",       "Text3",       "PushButton5",
                                   "PushButton6", "PushButton4", "PushButton3", "Text1"};
        for (const QString& name : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), name);
        }
        // Tab into a filled field selects all of it; the next key replaces it.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(form.userField()->selectedText(), QStringLiteral("user"));
        QTest::keyClicks(form.userField(), QStringLiteral("z"));
        QCOMPARE(form.userField()->text(), QStringLiteral("z"));

        // A click into a field selects all of it too.
        QTest::mouseClick(form.passwordField(), Qt::LeftButton, {}, QPoint(3, 5));
        QCOMPARE(QApplication::focusWidget(), form.passwordField());
        QCOMPARE(form.passwordField()->selectedText(), QStringLiteral("pw"));
    }

    void nextWithWrongLoginChangesNothing() {
        standin::Login owner;
        RecordingDialogs dialogs;
        Form1 form(dialogs);
        int shown = 0;
        form.setSetupWindowSteps({[&] { ++shown; }, [&] { ++shown; }});
        form.sidField()->setText(owner.login().sid);
        form.userField()->setText(owner.name());
        form.passwordField()->setText(QStringLiteral("wrong"));
        form.show();
        form.findChild<QPushButton*>(QStringLiteral("PushButton3"))->click();
        QVERIFY(dialogs.shown.isEmpty());
        QCOMPARE(shown, 0);
        QVERIFY(form.isVisible());
        QCOMPARE(form.login().password, QStringLiteral("wrong"));

        form.passwordField()->setText(owner.password());
        form.findChild<QPushButton*>(QStringLiteral("PushButton3"))->click();
        QCOMPARE(shown, 2);
        QVERIFY(!form.isVisible());
    }

    void otherSoftwareFailureIsReported() {
        RecordingDialogs dialogs;
        Form1 form(dialogs);
        QUrl opened;
        form.setOtherSoftwareOpener([&](const QUrl& url) {
            opened = url;
            return false;
        });
        form.findChild<QPushButton*>(QStringLiteral("PushButton4"))->click();
        QCOMPARE(opened, Form1::OtherSoftwareAddress());
        QCOMPARE(dialogs.errorBoxes().size(), 1);
        QVERIFY(dialogs.shown.front().text.contains(
            QStringLiteral("\r\nin Brisvane2018/12/22.Form1.PushButton4_Click at line 100\r\r")));
    }
};

QTEST_MAIN(TestOracle)
#include "test_oracle.moc"
