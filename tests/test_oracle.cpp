// Oracle access against the stand-in server: the login check, the
// connection test and the catalogue.
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "base/app_title.h"
#include "base/failure.h"
#include "base/log_file.h"
#include "base/pointer_state.h"
#include "base/run_context.h"
#include "oracle/check_oracle_login.h"
#include "oracle/list_oracle_tables.h"
#include "oracle/list_table_fields.h"
#include "oracle/oracle_connection_string.h"
#include "oracle/test_connection.h"
#include "support/private_home.h"
#include "support/recording_dialogs.h"
#include "support/scoped_environment.h"
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

class QuietRunContext final : public RunContext {
public:
    void yield() override {}
    void setProgress(int) override {}
    bool abandoned() const override { return false; }
};

// The description of the failure that action throws; empty when it throws none.
QString failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Failure& failure) {
        return failure.description();
    }
    return QString();
}
// A change to a working login, and one field of a login.
using LoginChange = void (*)(OracleLogin&);
using LoginField = QString OracleLogin::*;
}  // namespace

Q_DECLARE_METATYPE(LoginChange)
Q_DECLARE_METATYPE(LoginField)

class TestOracle : public QObject {
    Q_OBJECT

public:
    // Before the application object: the program's home is a temporary one.
    static void initMain() { UsePrivateHome(); }

    QTemporaryDir m_settingsDir;

private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
        SetAppTitle();
    }

    void checkOracleLogin_data() {
        QTest::addColumn<LoginChange>("change");
        QTest::addColumn<bool>("works");
        QTest::newRow("right login") << LoginChange([](OracleLogin&) {}) << true;
        QTest::newRow("wrong password")
            << LoginChange([](OracleLogin& login) { login.password += QStringLiteral("x"); })
            << false;
        QTest::newRow("unknown SID folder") << LoginChange([](OracleLogin& login) {
            login.sid = QStringLiteral("/tmp/qm-no-such-folder");
        }) << false;
        QTest::newRow("empty fields")
            << LoginChange([](OracleLogin& login) { login = {}; }) << false;
    }
    void checkOracleLogin() {
        QFETCH(LoginChange, change);
        QFETCH(bool, works);
        standin::Login owner;
        OracleLogin login = owner.login();
        change(login);
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
        // A refusal gives its reason behind the box's text; a success has none.
        QCOMPARE(dialogs.shown.front().details.isEmpty(), works);
        QCOMPARE(pointer.states,
                 (QList<PointerState>{PointerState::Hourglass, PointerState::Default}));
    }

    // Values the driver would crash on never reach it: every use of the
    // login fails at once. Up to the limit the driver is asked, and the
    // server refuses the login.
    void overlongLogin_data() {
        QTest::addColumn<LoginField>("field");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("tooLong");
        QTest::newRow("SID over the limit") << LoginField(&OracleLogin::sid) << 8001 << true;
        QTest::newRow("user over the limit") << LoginField(&OracleLogin::user) << 8001 << true;
        QTest::newRow("password over the limit")
            << LoginField(&OracleLogin::password) << 8001 << true;
        QTest::newRow("password far over the limit")
            << LoginField(&OracleLogin::password) << 40000 << true;
        QTest::newRow("SID at the limit") << LoginField(&OracleLogin::sid) << 8000 << false;
        QTest::newRow("user at the limit") << LoginField(&OracleLogin::user) << 8000 << false;
        QTest::newRow("password at the limit")
            << LoginField(&OracleLogin::password) << 8000 << false;
    }
    void overlongLogin() {
        QFETCH(LoginField, field);
        QFETCH(int, length);
        QFETCH(bool, tooLong);
        standin::Login owner;
        owner.exec(QStringLiteral("CREATE TABLE t (v varchar(5))"));
        OracleLogin login = owner.login();
        const QString value(length, QLatin1Char('s'));
        login.*field = value;

        const QString tooLongText = QStringLiteral("The login is too long.");
        QCOMPARE(failureOf([&] { OracleConnectionString(login); }) == tooLongText, tooLong);
        QVERIFY(!CheckOracleLogin(login));
        RecordingDialogs dialogs;
        FakePointer pointer;
        TestConnection(login, dialogs, pointer);
        QCOMPARE(dialogs.texts(), QStringList{QStringLiteral(
                                      "Could not connect. Please check with your administrator.")});
        QuietRunContext context;
        const QString listing = failureOf([&] {
            ListOracleTables(
                login, [](const QString&) { return true; }, context);
        });
        const QString fields = failureOf([&] { TableFieldNames(login, QStringLiteral("t")); });
        if (tooLong) {
            QCOMPARE(listing, tooLongText);
            QCOMPARE(fields, tooLongText);
        } else {
            // Refused by the server with its own words.
            QVERIFY(!listing.isEmpty() && listing != tooLongText);
            QVERIFY(!fields.isEmpty() && fields != tooLongText);
        }
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

    // The failure box of the connection test gives the driver's reason in
    // full as its details (SQLSTATE, native code, message) and the log
    // file's path; the box's own text stays, and no piece of the password is
    // in the details. "Next >" (the login check) still shows nothing.
    void testConnectionDetailsGiveTheDriversReason_data() {
        QTest::addColumn<QString>("sid");  // the stand-in's when empty
        QTest::addColumn<QString>("message");
        QTest::newRow("wrong password") << ""
                                        << "password authentication failed for user";
        QTest::newRow("unknown SID folder") << "/tmp/qm-no-such-folder"
                                            << "qm-no-such-folder";
    }
    void testConnectionDetailsGiveTheDriversReason() {
        QFETCH(QString, sid);
        QFETCH(QString, message);
        const QString state = QStringLiteral("08001");
        const QString password = QStringLiteral("Pq7;Quill{mere}Hidden");
        standin::Login owner;
        QTemporaryDir dir;
        const QString logPath = dir.filePath(QStringLiteral("quillmere.log"));
        InstallLogFile(logPath);
        const auto uninstall = qScopeGuard([] { UninstallLogFile(); });

        const OracleLogin login{sid.isEmpty() ? standin::sid() : sid, owner.name(), password};
        RecordingDialogs dialogs;
        FakePointer pointer;
        QVERIFY(!CheckOracleLogin(login));
        QCOMPARE(dialogs.shown.size(), 0);
        TestConnection(login, dialogs, pointer);
        QCOMPARE(dialogs.texts(), QStringList{QStringLiteral(
                                      "Could not connect. Please check with your administrator.")});
        const QString details = dialogs.shown.front().details;
        QVERIFY2(details.startsWith(QStringLiteral("SQLSTATE: ") + state + QStringLiteral("\n")),
                 qPrintable(details));
        QVERIFY2(details.contains(QStringLiteral("\nNative code: ")), qPrintable(details));
        QVERIFY2(details.contains(QStringLiteral("\nMessage: ")) && details.contains(message),
                 qPrintable(details));
        QVERIFY2(details.endsWith(QStringLiteral("\n\nLog file: ") + logPath), qPrintable(details));
        for (const QString& piece : password.split(QLatin1Char(';')))
            QVERIFY2(!details.contains(piece), qPrintable(details));
        QVERIFY(!details.contains(QStringLiteral("Pwd=")));
    }

    // A client character set that is not UTF-8 is told behind the
    // connection test's success: characters outside it become '?'.
    void testConnectionTellsOfTheClientCharacterSet_data() {
        QTest::addColumn<QByteArray>("lang");
        QTest::addColumn<QString>("details");
        QTest::newRow("UTF-8") << QByteArray("AMERICAN_AMERICA.AL32UTF8") << "";
        QTest::newRow("Western European")
            << QByteArray("GERMAN_GERMANY.WE8ISO8859P1")
            << "NLS_LANG names the client character set WE8ISO8859P1, not UTF-8: characters "
               "outside it become ? when read from Oracle and when written to it.";
    }
    void testConnectionTellsOfTheClientCharacterSet() {
        QFETCH(QByteArray, lang);
        QFETCH(QString, details);
        const ScopedEnvironment client({{"NLS_LANG", lang}});
        standin::Login owner;
        RecordingDialogs dialogs;
        FakePointer pointer;
        TestConnection(owner.login(), dialogs, pointer);
        QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("Connection successful.")});
        QCOMPARE(dialogs.shown.front().details, details);
    }

    // A login that fails and one that works, by the login check and the
    // connection test: the log gains the driver's reason, the windows show
    // what they always did, and neither password leaves a trace in the log.
    void logKeepsReasonNeverPassword() {
        const QString password = QStringLiteral("Zq8;Quill{mere}Secret");
        const QString wrong = QStringLiteral("Xk3;Wrong{Quill}Secret");
        standin::Login owner;
        standin::admin().execute(
            QStringLiteral("ALTER ROLE \"%1\" PASSWORD '%2'").arg(owner.name(), password));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("quillmere.log"));
        InstallLogFile(path);
        const auto uninstall = qScopeGuard([] { UninstallLogFile(); });

        const OracleLogin good{standin::sid(), owner.name(), password};
        const OracleLogin bad{standin::sid(), owner.name(), wrong};
        QVERIFY(!CheckOracleLogin(bad));
        QVERIFY(CheckOracleLogin(good));
        RecordingDialogs dialogs;
        FakePointer pointer;
        TestConnection(bad, dialogs, pointer);
        TestConnection(good, dialogs, pointer);
        QCOMPARE(
            dialogs.texts(),
            (QStringList{QStringLiteral("Could not connect. Please check with your administrator."),
                         QStringLiteral("Connection successful.")}));
        UninstallLogFile();

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        // Two refusals, each with the driver's state, code and words, and
        // the user it was for.
        QCOMPARE(text.count(QStringLiteral("password authentication failed")), 2);
        QCOMPARE(text.count(QStringLiteral("SQLSTATE 08001")), 2);
        QVERIFY2(
            text.contains(QStringLiteral("Uid=") + owner.name() + QStringLiteral(";Pwd=<hidden>")),
            qPrintable(text));
        // No piece of either password, whole or parted at its ";".
        for (const QString& secret : {password, wrong})
            for (const QString& piece : secret.split(QLatin1Char(';')))
                QVERIFY2(!text.contains(piece), qPrintable(piece));
        QVERIFY(!text.contains(QStringLiteral("Quill{")));
    }
};

QTEST_MAIN(TestOracle)
#include "test_oracle.moc"
