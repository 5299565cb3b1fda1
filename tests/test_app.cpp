// The program's start-up and the way between its windows, against the
// stand-in server.
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "app/window_flow.h"
#include "base/app_title.h"
#include "base/settings_store.h"
#include "join/open_staging_database.h"
#include "join/staging_database_path.h"
#include "join/staging_table_exists.h"
#include "support/recording_dialogs.h"
#include "support/standin.h"
#include "support/window_helpers.h"
#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/sorted_list_box.h"

using TableList = JoinWindow::TableList;

namespace {

// A login of its own with the program logged into it, showing the join
// set-up window, and a program folder of its own for the staging file.
class WindowJoinRig final {
public:
    WindowJoinRig() {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
        SettingsStore::write(SettingsStore::OracleSID(), owner.login().sid);
        SettingsStore::write(SettingsStore::OracleUser(), owner.name());
        SettingsStore::write(SettingsStore::OraclePassword(), owner.password());
    }

    void open() {
        flow = std::make_unique<WindowFlow>(programFolder.path(), dialogs);
        flow->start();
    }
    Form2& form() const { return *flow->setupWindow(); }

    void choose(TableList side, const QString& table, const QString& field) {
        SortedListBox* tables = form().tableList(side);
        const int row = int(tables->entries().indexOf(table));
        QVERIFY2(row >= 0, qPrintable(table));
        tables->setCurrentRow(row);
        SortedListBox* fields = form().fieldList(side);
        const int fieldRow = int(fields->entries().indexOf(field));
        QVERIFY2(fieldRow >= 0, qPrintable(field));
        fields->setCurrentRow(fieldRow);
    }

    // Opens the windows and chooses a table and its field on each side.
    void openChoosing(const QString& table1, const QString& field1, const QString& table2,
                      const QString& field2) {
        open();
        choose(JoinWindow::TableList::First, table1, field1);
        choose(JoinWindow::TableList::Second, table2, field2);
    }

    void startJoining() { form().startJoiningButton()->click(); }

    // The rows of a staged table, as text or "<null>".
    QList<QStringList> stagedRows(const QString& table) const {
        db::Connection staging = OpenStagingDatabase(StagingDatabasePath(programFolder.path()));
        return AllRows(staging, QStringLiteral("SELECT * FROM `%1`").arg(table));
    }

    QTemporaryDir m_settings;
    QTemporaryDir programFolder;
    standin::Login owner;
    RecordingDialogs dialogs;
    std::unique_ptr<WindowFlow> flow;
};

// Grants or takes away the login's reading of its catalogue, as the server's
// administrator; the login itself keeps working.
void setCatalogueReadable(const standin::Login& owner, bool readable) {
    db::Connection admin = standin::admin(owner.name());
    admin.execute(readable ? QStringLiteral("GRANT SELECT ON public.user_tables TO PUBLIC")
                           : QStringLiteral("REVOKE SELECT ON public.user_tables FROM PUBLIC"));
}

constexpr auto First = JoinWindow::TableList::First;
constexpr auto Second = JoinWindow::TableList::Second;

}  // namespace

class TestApp : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_settingsDir;
    QTemporaryDir m_programFolder;

private slots:
    // Every case starts with no saved settings.
    void init() {
        m_settingsDir = std::make_unique<QTemporaryDir>();
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir->path());
        SetAppTitle();
    }
    void startUp_data() {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<bool>("loginShown");
        QTest::newRow("nothing saved") << "none" << true;
        QTest::newRow("empty password") << "nopassword" << true;
        QTest::newRow("refused login") << "wrong" << true;
        // Never handed to the driver, which would crash on it.
        QTest::newRow("password too long") << "toolong" << true;
        QTest::newRow("working login") << "working" << false;
    }
    void startUp() {
        QFETCH(QString, saved);
        QFETCH(bool, loginShown);
        standin::Login owner;
        const QString longPassword(40000, QLatin1Char('p'));
        if (saved != QStringLiteral("none")) {
            SettingsStore::write(SettingsStore::OracleSID(), owner.login().sid);
            SettingsStore::write(SettingsStore::OracleUser(), owner.name());
            SettingsStore::write(SettingsStore::OraclePassword(),
                                 saved == QStringLiteral("nopassword") ? QString()
                                 : saved == QStringLiteral("wrong")    ? QStringLiteral("wrong")
                                 : saved == QStringLiteral("toolong")  ? longPassword
                                                                       : owner.password());
        }
        QTemporaryDir programFolder;
        RecordingDialogs dialogs;
        WindowFlow flow(programFolder.path(), dialogs);
        flow.start();
        Form1& form = flow.loginWindow();
        QCOMPARE(dialogs.shown.size(), 0);
        QCOMPARE(form.windowTitle(), QStringLiteral("Quillmere Software"));
        QVERIFY(!form.windowIcon().pixmap(32, 32).isNull());
        QCOMPARE(AppTitle(), QStringLiteral("Quillmere"));
        QCOMPARE(form.isVisible(), loginShown);
        if (saved == QStringLiteral("none")) {
            QCOMPARE(form.login().sid, QString());
            QCOMPARE(form.login().user, QString());
        } else {
            QCOMPARE(form.login().user, owner.name());
        }
        if (saved == QStringLiteral("toolong")) {
            QVERIFY(!flow.setupWindow());
            QCOMPARE(form.passwordField()->text(), longPassword);
        }
        if (!loginShown) {
            // Back from the join set-up window, the login window is centred
            // on its first showing, with the saved texts.
            QVERIFY(flow.setupWindow()->isVisible());
            flow.setupWindow()->backButton()->click();
            QVERIFY(form.isVisible());
            QVERIFY(!flow.setupWindow()->isVisible());
            const QPoint screenCentre = form.screen()->availableGeometry().center();
            QVERIFY2((form.frameGeometry().center() - screenCentre).manhattanLength() <= 2,
                     qPrintable(QStringLiteral("%1,%2").arg(form.x()).arg(form.y())));
            QCOMPARE(form.login().password, owner.password());
        }
        if (loginShown) {
            QVERIFY(QTest::qWaitForWindowActive(&form));
            QCOMPARE(QApplication::focusWidget(), form.sidField());
            QCOMPARE(form.sidField()->selectedText(), form.sidField()->text());
        }
    }

    // A saved value too long to be a login is not put into its field: the
    // program starts at the login window with that field empty, and the
    // settings file stays as it was.
    void overlongSavedValue_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("shown");
        for (const QString& key : {SettingsStore::OracleSID(), SettingsStore::OracleUser(),
                                   SettingsStore::OraclePassword()}) {
            QTest::addRow("%s 40000", qPrintable(key)) << key << 40000 << true;
            QTest::addRow("%s 65536", qPrintable(key)) << key << 65536 << true;
            QTest::addRow("%s 65537", qPrintable(key)) << key << 65537 << false;
        }
        QTest::newRow("password of 3,000,000")
            << SettingsStore::OraclePassword() << 3000000 << false;
    }
    void overlongSavedValue() {
        QFETCH(QString, key);
        QFETCH(int, length);
        QFETCH(bool, shown);
        standin::Login owner;
        SettingsStore::write(SettingsStore::OracleSID(), owner.login().sid);
        SettingsStore::write(SettingsStore::OracleUser(), owner.name());
        SettingsStore::write(SettingsStore::OraclePassword(), owner.password());
        const QString value(length, QLatin1Char('v'));
        SettingsStore::write(key, value);
        QFile file(SettingsStore::fileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();

        QTemporaryDir programFolder;
        RecordingDialogs dialogs;
        WindowFlow flow(programFolder.path(), dialogs);
        flow.start();
        Form1& form = flow.loginWindow();
        QCOMPARE(dialogs.shown.size(), 0);
        QVERIFY(form.isVisible());
        QVERIFY(!flow.setupWindow());
        QLineEdit* field = key == SettingsStore::OracleSID()    ? form.sidField()
                           : key == SettingsStore::OracleUser() ? form.userField()
                                                                : form.passwordField();
        QCOMPARE(field->text(), shown ? value : QString());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll() == before);
        QCOMPARE(SettingsStore::read(key), value);
    }

    // A broken pointer file is reported at its line and the load goes on.
    void startUpReportsABrokenPointerFile() {
        SettingsStore::write(SettingsStore::OracleUser(), QStringLiteral("kept"));
        QTemporaryDir programFolder;
        QFile cursor(programFolder.filePath(QStringLiteral("HAND-M.CUR")));
        QVERIFY(cursor.open(QIODevice::WriteOnly));
        cursor.write("not a cursor");
        cursor.close();
        RecordingDialogs dialogs;
        WindowFlow flow(programFolder.path(), dialogs);
        flow.start();
        QCOMPARE(dialogs.errorBoxes().size(), 1);
        QVERIFY(
            dialogs.shown.front().text.contains(QStringLiteral("Form1.Form_Load at line 126\r\r")));
        QCOMPARE(flow.loginWindow().login().user, QStringLiteral("kept"));
    }

    // The pointer state as the pointer reaches each kind of element.
    void skin_data() {
        QTest::addColumn<QString>("skin");
        QTest::newRow("absent") << "absent";
        QTest::newRow("present") << "present";
        QTest::newRow("unreadable") << "unreadable";
    }
    void skin() {
        QFETCH(QString, skin);
        QTemporaryDir programFolder;
        if (skin != "absent") QDir(programFolder.path()).mkpath("x");
        if (skin == "present") {
            QFile file(programFolder.filePath("x/o.cjs"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("QPushButton { color: rgb(1, 2, 3); }");
        }
        // A folder of the skin's name exists but cannot be read as a file.
        if (skin == "unreadable") QDir(programFolder.path()).mkpath("x/o.cjs");
        SettingsStore::write(SettingsStore::OracleUser(), "kept");

        RecordingDialogs dialogs;
        WindowFlow flow(programFolder.path(), dialogs);
        flow.start();
        Form1& form = flow.loginWindow();
        const QColor face = QApplication::palette().color(QPalette::Button);
        const QColor expected = skin == "absent" ? QColor(Qt::white) : face;
        QCOMPARE(form.palette().color(QPalette::Window), expected);
        QCOMPARE(form.findChild<QGroupBox*>("Frame1")->palette().color(QPalette::Window), expected);
        QCOMPARE(form.findChild<QLabel*>("Label4")->palette().color(QPalette::Window), expected);
        QCOMPARE(form.styleSheet().isEmpty(), skin != "present");
        QCOMPARE(dialogs.errorBoxes().size(), skin == "unreadable" ? 1 : 0);
        if (skin == "unreadable")
            QVERIFY(dialogs.shown.front().text.contains(
                "\r\nin Brisvane2018/12/22.Form1.Form_Load at line 100\r\r"));
        // The rest of the load went on.
        QCOMPARE(form.windowTitle(), QStringLiteral("Quillmere Software"));
        QCOMPARE(form.login().user, QStringLiteral("kept"));
    }

    // Both windows rendered to PNG files beside the tests for a person to look
    // at, and every control where its twips put it, within one pixel.
    void windowFlow() {
        standin::Login owner;
        owner.exec(QStringLiteral("CREATE TABLE \"T1\" (\"C\" integer, \"A\" integer)"));
        setCatalogueReadable(owner, false);
        RecordingDialogs dialogs;
        WindowFlow flow(m_programFolder.path(), dialogs);
        flow.start();
        Form1& login = flow.loginWindow();
        QVERIFY(!flow.setupWindow());
        login.sidField()->setText(owner.login().sid);
        login.userField()->setText(owner.name());
        login.passwordField()->setText(owner.password());
        auto* next = login.findChild<QPushButton*>(QStringLiteral("PushButton3"));

        next->click();
        Form2* form = flow.setupWindow();
        QVERIFY(form);
        QCOMPARE(errorLines(dialogs, QStringLiteral("Form_Load")),
                 (QList<int>{116, 118, 116, 118}));
        QVERIFY(form->isVisible());
        QVERIFY(!login.isVisible());

        setCatalogueReadable(owner, true);
        dialogs.shown.clear();
        form->backButton()->click();
        QVERIFY(login.isVisible());
        QVERIFY(!form->isVisible());
        QCOMPARE(login.login().user, owner.name());
        QCOMPARE(login.login().password, owner.password());

        next->click();
        QVERIFY(form->isVisible());
        QCOMPARE(form->tableListEntries(TableList::First), QStringList{"T1"});
        clickEntry(form->tableList(TableList::First), QStringLiteral("T1"));
        clickEntry(form->tableList(TableList::Second), QStringLiteral("T1"));
        form->fieldList(TableList::First)->setCurrentRow(0);
        form->suffixField()->setText(QStringLiteral("_dup"));

        form->backButton()->click();
        next->click();
        QCOMPARE(flow.setupWindow(), form);
        QCOMPARE(form->tableListEntries(TableList::First), QStringList{"T1"});
        QCOMPARE(form->tableListEntries(TableList::Second), QStringList{"T1"});
        QCOMPARE(form->selectedTable1(), std::nullopt);
        QCOMPARE(form->selectedTable2(), std::nullopt);
        QCOMPARE(form->fieldList(TableList::First)->entries(), (QStringList{"A", "C"}));
        QCOMPARE(form->fieldList(TableList::Second)->entries(), (QStringList{"A", "C"}));
        QCOMPARE(form->selectedField1(), QStringLiteral("A"));
        QCOMPARE(form->suffix(), QStringLiteral("_dup"));
        QVERIFY(dialogs.shown.isEmpty());

        form->backButton()->click();
        setCatalogueReadable(owner, false);
        next->click();
        QCOMPARE(errorLines(dialogs, QStringLiteral("Form_Load")), (QList<int>{116, 118}));

        bool timedOut = false;
        QTimer::singleShot(0, form, [form] { form->close(); });
        QTimer::singleShot(10000, &login, [&] {
            timedOut = true;
            QApplication::exit(1);
        });
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(!timedOut);
        QVERIFY(flow.runContext().abandoned());
    }

    // A saved login that works opens the set-up window at start, loaded once.
    void savedLoginOpensSetupWindow() {
        standin::Login owner;
        setCatalogueReadable(owner, false);
        SettingsStore::write(SettingsStore::OracleSID(), owner.login().sid);
        SettingsStore::write(SettingsStore::OracleUser(), owner.name());
        SettingsStore::write(SettingsStore::OraclePassword(), owner.password());
        RecordingDialogs dialogs;
        WindowFlow flow(m_programFolder.path(), dialogs);
        flow.start();
        QVERIFY(flow.setupWindow());
        QVERIFY(flow.setupWindow()->isVisible());
        QVERIFY(!flow.loginWindow().isVisible());
        QCOMPARE(errorLines(dialogs, QStringLiteral("Form_Load")), (QList<int>{116, 118}));
    }

    // A second "Start Joining" while a run is yielding starts nothing, and a
    // second run of the same name replaces the staged table.
    void secondClickDuringARunStartsNothing() {
        WindowJoinRig rig;
        rig.owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10)))");
        rig.owner.exec(R"(INSERT INTO "A" VALUES ('1'), ('2'))");
        rig.openChoosing("A", "ID", "A", "ID");
        int prompts = 0;
        rig.dialogs.onShown = [&](const RecordingDialogs::Shown& shown) {
            if (shown.kind != "prompt") return;
            ++prompts;
            rig.startJoining();                // ignored: the first run is still going
            rig.form().backButton()->click();  // ignored too
        };
        rig.dialogs.promptAnswers << QStringLiteral("R") << QStringLiteral("R");
        rig.startJoining();
        QCOMPARE(prompts, 1);
        QVERIFY(rig.form().isVisible());
        rig.dialogs.onShown = nullptr;
        rig.owner.exec(R"(DELETE FROM "A" WHERE "ID" = '2')");
        rig.dialogs.yesNoAnswers << true;
        rig.startJoining();
        QCOMPARE(rig.dialogs.errorBoxes().size(), 0);
        QCOMPARE(rig.stagedRows("R"), (QList<QStringList>{{"1", "1"}}));
        QCOMPARE(rig.owner.rows(R"(SELECT * FROM "R")"), (QList<QStringList>{{"1", "1"}}));
    }

    // Closing the window while the run waits for its name ends the program:
    // the run stops there and writes nothing more.
    void closingTheWindowStopsTheRun() {
        WindowJoinRig rig;
        rig.owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10)))");
        rig.owner.exec(R"(INSERT INTO "A" VALUES ('1'))");
        rig.openChoosing("A", "ID", "A", "ID");
        rig.dialogs.onShown = [&](const RecordingDialogs::Shown& shown) {
            if (shown.kind == "prompt") rig.form().close();
        };
        rig.dialogs.promptAnswers << QStringLiteral("R");
        rig.startJoining();
        QVERIFY(!rig.form().isVisible());
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.owner.rows("SELECT count(*) FROM user_tables"), (QList<QStringList>{{"1"}}));
        QVERIFY(!StagingTableExists(StagingDatabasePath(rig.programFolder.path()), "R"));
    }
};

QTEST_MAIN(TestApp)
#include "test_app.moc"
