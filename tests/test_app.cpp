// The program's start-up and the way between its windows, against the
// stand-in server.
#include <QDeadlineTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <cstdio>

#include "app/command_line.h"
#include "app/window_flow.h"
#include "base/app_title.h"
#include "base/log_file.h"
#include "base/settings_store.h"
#include "join/open_staging_database.h"
#include "join/staging_database_path.h"
#include "support/held_up_server.h"
#include "support/join_checks.h"
#include "support/join_rig.h"
#include "support/private_home.h"
#include "support/recording_dialogs.h"
#include "support/standin.h"
#include "support/window_helpers.h"
#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/form2_lines.h"
#include "ui/sorted_list_box.h"

using TableList = JoinWindow::TableList;

namespace {

// The program logged into a login of its own, showing the join set-up window.
class WindowJoinRig final : public JoinRigBase {
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

    QTemporaryDir m_settings;
    std::unique_ptr<WindowFlow> flow;
};

// The password a case saves with its login.
using SavedPassword = QString (*)(const standin::Login&);

// Grants or takes away the login's reading of its catalogue, as the server's
// administrator; the login itself keeps working.
void setCatalogueReadable(const standin::Login& owner, bool readable) {
    db::Connection admin = standin::admin(owner.name());
    admin.execute(readable ? QStringLiteral("GRANT SELECT ON public.user_tables TO PUBLIC")
                           : QStringLiteral("REVOKE SELECT ON public.user_tables FROM PUBLIC"));
}

constexpr auto First = JoinWindow::TableList::First;
constexpr auto Second = JoinWindow::TableList::Second;

// Where a run is held up when its window is closed.
enum class Stuck {
    SleepingRead,              // the copy reads a table whose last row sleeps
    LockedDrop,                // "Overwrite? Yes" drops a table that another session holds
    StoppedServer,             // a row of the write sleeps, and its server process is stopped
    StoppedServerOverwriting,  // the same while "Overwrite? Yes" writes the new rows
};

// The environment that makes this test program the program being closed:
// its folder, where a file named "close" is the signal to close the window.
const char* const ClosingChildFolder = "QM_CLOSING_CHILD_FOLDER";
const char* const ClosingChildSettings = "QM_CLOSING_CHILD_SETTINGS";
const char* const ClosingChildLog = "QM_CLOSING_CHILD_LOG";

// The program as a user runs it, started from a saved login: it joins "A"
// with itself into "R", answering Yes to an overwrite, and closes its
// window when told. Each box it shows is printed.
int runClosingChild() {
    const QString folder = qEnvironmentVariable(ClosingChildFolder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       qEnvironmentVariable(ClosingChildSettings));
    InstallLogFile(qEnvironmentVariable(ClosingChildLog));
    RecordingDialogs dialogs;
    dialogs.promptAnswers << QStringLiteral("R");
    dialogs.yesNoAnswers << true;
    dialogs.onShown = [](const RecordingDialogs::Shown& shown) {
        std::printf("shown %s: %s\n", qPrintable(shown.kind), qPrintable(shown.text));
        std::fflush(stdout);
    };
    WindowFlow flow(folder, dialogs);
    flow.start();
    Form2* form = flow.setupWindow();
    if (!form) return 3;
    for (const auto side : {First, Second}) {
        form->tableList(side)->setCurrentRow(int(form->tableList(side)->entries().indexOf("A")));
        form->fieldList(side)->setCurrentRow(int(form->fieldList(side)->entries().indexOf("ID")));
    }
    QTimer closer;
    closer.setInterval(10);
    QObject::connect(&closer, &QTimer::timeout, form, [&] {
        if (!QFile::exists(QDir(folder).filePath("close"))) return;
        closer.stop();
        form->close();
    });
    closer.start();
    QTimer::singleShot(0, form, [form] { form->startJoiningButton()->click(); });
    return QApplication::exec();
}

// The server process of the login's session that waits in a sleep or for
// a lock; 0 when none came while the program ran.
qint64 stuckServerProcess(const standin::Login& owner, QProcess& program) {
    db::Connection admin = standin::admin();
    const QString query =
        QStringLiteral(
            "SELECT pid FROM pg_stat_activity WHERE usename = '%1' AND state = 'active' "
            "AND (wait_event = 'PgSleep' OR wait_event_type = 'Lock')")
            .arg(owner.name());
    for (QDeadlineTimer deadline(60000); !deadline.hasExpired();) {
        const QList<QStringList> found = AllRows(admin, query);
        if (!found.isEmpty()) return found.front().front().toLongLong();
        if (program.waitForFinished(50)) return 0;
    }
    return 0;
}

// Makes the server hold up the run at one point, as the server's
// administrator on the login's database.
void holdUp(Stuck stuck, const standin::Login& owner) {
    db::Connection admin = standin::admin(owner.name());
    if (stuck == Stuck::SleepingRead) {
        // Row security that sleeps on the last row: reading the table sleeps.
        admin.execute(QStringLiteral(
            "CREATE FUNCTION qm_sleep_at(id text) RETURNS boolean LANGUAGE plpgsql AS "
            "$$ BEGIN IF id = '20' THEN PERFORM pg_sleep(30); END IF; RETURN true; END $$"));
        admin.execute(QStringLiteral("ALTER TABLE \"A\" ENABLE ROW LEVEL SECURITY"));
        admin.execute(QStringLiteral("ALTER TABLE \"A\" FORCE ROW LEVEL SECURITY"));
        admin.execute(QStringLiteral("CREATE POLICY slow ON \"A\" USING (qm_sleep_at(\"ID\"))"));
    } else if (stuck == Stuck::StoppedServer || stuck == Stuck::StoppedServerOverwriting) {
        MakeInsertsOfId20Sleep(owner);
    }
}

// The rows in the login's tables besides "A": what the run wrote.
qint64 rowsWritten(const standin::Login& owner) {
    qint64 rows = 0;
    for (const QStringList& table :
         owner.rows(QStringLiteral("SELECT table_name FROM user_tables WHERE table_name <> 'A'")))
        rows += owner.rows(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(table.front()))
                    .front()
                    .front()
                    .toLongLong();
    return rows;
}

}  // namespace

Q_DECLARE_METATYPE(SavedPassword)
Q_DECLARE_METATYPE(Stuck)

// The program started as main starts it, on a program folder of its own,
// its boxes answered by the recording dialogs.
struct StartedFlow {
    StartedFlow() { flow.start(); }
    Form1& form() { return flow.loginWindow(); }

    QTemporaryDir programFolder;
    RecordingDialogs dialogs;
    WindowFlow flow{programFolder.path(), dialogs};
};

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
    // The start-up puts the saved login back and tries it only when complete.
    void startUp_data() {
        QTest::addColumn<SavedPassword>("savedPassword");  // null: no login saved
        QTest::addColumn<bool>("loginShown");
        QTest::newRow("nothing saved") << SavedPassword(nullptr) << true;
        QTest::newRow("empty password")
            << SavedPassword([](const standin::Login&) { return QString(); }) << true;
        QTest::newRow("refused login")
            << SavedPassword([](const standin::Login&) { return QStringLiteral("wrong"); }) << true;
        // Never handed to the driver, which would crash on it.
        QTest::newRow("password too long")
            << SavedPassword([](const standin::Login&) { return QString(40000, QLatin1Char('p')); })
            << true;
        QTest::newRow("working login")
            << SavedPassword([](const standin::Login& owner) { return owner.password(); }) << false;
    }
    void startUp() {
        QFETCH(SavedPassword, savedPassword);
        QFETCH(bool, loginShown);
        standin::Login owner;
        const QString password = savedPassword ? savedPassword(owner) : QString();
        if (savedPassword) {
            SettingsStore::write(SettingsStore::OracleSID(), owner.login().sid);
            SettingsStore::write(SettingsStore::OracleUser(), owner.name());
            SettingsStore::write(SettingsStore::OraclePassword(), password);
        }
        StartedFlow started;
        const RecordingDialogs& dialogs = started.dialogs;
        WindowFlow& flow = started.flow;
        Form1& form = started.form();
        QCOMPARE(dialogs.shown.size(), 0);
        QCOMPARE(form.windowTitle(), QStringLiteral("Quillmere Software"));
        QVERIFY(!form.windowIcon().pixmap(32, 32).isNull());
        QCOMPARE(AppTitle(), QStringLiteral("Quillmere"));
        QCOMPARE(form.isVisible(), loginShown);
        // The saved login is put back as it was saved; a login window left
        // showing means no set-up window was made.
        QCOMPARE(form.login().sid, savedPassword ? owner.login().sid : QString());
        QCOMPARE(form.login().user, savedPassword ? owner.name() : QString());
        QCOMPARE(form.passwordField()->text(), password);
        QCOMPARE(flow.setupWindow() != nullptr, !loginShown);
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

        StartedFlow started;
        const RecordingDialogs& dialogs = started.dialogs;
        WindowFlow& flow = started.flow;
        Form1& form = started.form();
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

    // An installed program finds the pointer in its shared data folder, in
    // both windows: the real file loads, a broken one there is reported at
    // each window's line.
    void startUpFindsThePointerOfAnInstalledProgram_data() {
        QTest::addColumn<bool>("broken");
        QTest::newRow("real pointer") << false;
        QTest::newRow("broken pointer") << true;
    }
    void startUpFindsThePointerOfAnInstalledProgram() {
        QFETCH(bool, broken);
        QTemporaryDir root;
        const QString bin = root.filePath(QStringLiteral("usr/bin"));
        const QString share = root.filePath(QStringLiteral("usr/share/quillmere"));
        QVERIFY(QDir().mkpath(bin));
        QVERIFY(QDir().mkpath(share));
        const QString pointer = share + QStringLiteral("/HAND-M.CUR");
        if (broken) {
            QFile cursor(pointer);
            QVERIFY(cursor.open(QIODevice::WriteOnly));
            cursor.write("not a cursor");
        } else {
            QVERIFY(
                QFile::copy(QStringLiteral(QM_SOURCE_DIR "/src/ui/resources/HAND-M.CUR"), pointer));
        }
        // A saved login that works opens the join set-up window at once.
        standin::Login owner;
        SettingsStore::write(SettingsStore::OracleSID(), owner.login().sid);
        SettingsStore::write(SettingsStore::OracleUser(), owner.name());
        SettingsStore::write(SettingsStore::OraclePassword(), owner.password());
        RecordingDialogs dialogs;
        WindowFlow flow(bin, dialogs);
        flow.start();
        QVERIFY(flow.setupWindow());
        QCOMPARE(flow.loginWindow().pointer().image().has_value(), !broken);
        QCOMPARE(flow.setupWindow()->pointer().image().has_value(), !broken);
        if (!broken) {
            QCOMPARE(dialogs.errorBoxes().size(), 0);
            return;
        }
        const auto boxes = dialogs.errorBoxes();
        QCOMPARE(boxes.size(), 2);
        QVERIFY(boxes[0].text.contains(QStringLiteral("Form1.Form_Load at line 126\r\r")));
        QVERIFY(boxes[1].text.contains(QStringLiteral("Form2.Form_Load at line 108\r\r")));
        for (const auto& box : boxes) QVERIFY2(box.text.contains(pointer), qPrintable(box.text));
    }

    // The skin: absent, present, or there but unreadable.
    void skin_data() {
        QTest::addColumn<QByteArray>("file");  // the skin file's text; none when null
        QTest::addColumn<bool>("folder");      // a folder of the skin's name, unreadable as a file
        QTest::addColumn<bool>("white");       // the background the windows show
        QTest::addColumn<int>("errorLine");    // the load step's error box; 0 for none
        QTest::newRow("absent") << QByteArray() << false << true << 0;
        QTest::newRow("present") << QByteArray("QPushButton { color: rgb(1, 2, 3); }") << false
                                 << false << 0;
        QTest::newRow("unreadable") << QByteArray() << true << false << 100;
    }
    void skin() {
        QFETCH(QByteArray, file);
        QFETCH(bool, folder);
        QFETCH(bool, white);
        QFETCH(int, errorLine);
        QTemporaryDir programFolder;
        if (!file.isNull()) {
            QDir(programFolder.path()).mkpath("x");
            QFile skinFile(programFolder.filePath("x/o.cjs"));
            QVERIFY(skinFile.open(QIODevice::WriteOnly));
            skinFile.write(file);
        }
        if (folder) QDir(programFolder.path()).mkpath("x/o.cjs");
        SettingsStore::write(SettingsStore::OracleUser(), "kept");

        RecordingDialogs dialogs;
        WindowFlow flow(programFolder.path(), dialogs);
        flow.start();
        Form1& form = flow.loginWindow();
        const QColor face = QApplication::palette().color(QPalette::Button);
        const QColor expected = white ? QColor(Qt::white) : face;
        QCOMPARE(form.palette().color(QPalette::Window), expected);
        QCOMPARE(form.findChild<QGroupBox*>("Frame1")->palette().color(QPalette::Window), expected);
        QCOMPARE(form.findChild<QLabel*>("Label4")->palette().color(QPalette::Window), expected);
        QCOMPARE(form.styleSheet().isEmpty(), file.isNull());
        QCOMPARE(dialogs.errorBoxes().size(), errorLine ? 1 : 0);
        if (errorLine)
            QVERIFY(dialogs.shown.front().text.contains(
                QStringLiteral("\r\nin Brisvane2018/12/22.Form1.Form_Load at line %1\r\r")
                    .arg(errorLine)));
        // The rest of the load went on.
        QCOMPARE(form.windowTitle(), QStringLiteral("Quillmere Software"));
        QCOMPARE(form.login().user, QStringLiteral("kept"));
    }

    // Next and Back between the windows: the set-up window is made once and
    // keeps its choices; its load step reports an unreadable catalogue each
    // time; closing it ends the program and abandons its run.
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
                 (QList<int>{SetupWindowLoadLine::FillList1, SetupWindowLoadLine::FillList3,
                             SetupWindowLoadLine::FillList1, SetupWindowLoadLine::FillList3}));
        // Each error box gives the server's refusal in full behind its text.
        for (const auto& box : dialogs.errorBoxes())
            QVERIFY2(box.details.startsWith(QStringLiteral("SQLSTATE: 42501\nNative code: ")),
                     qPrintable(box.details));
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
        QCOMPARE(errorLines(dialogs, QStringLiteral("Form_Load")),
                 (QList<int>{SetupWindowLoadLine::FillList1, SetupWindowLoadLine::FillList3}));

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
        QCOMPARE(errorLines(dialogs, QStringLiteral("Form_Load")),
                 (QList<int>{SetupWindowLoadLine::FillList1, SetupWindowLoadLine::FillList3}));
    }

    // A second "Start Joining" while a run is yielding starts nothing, nor
    // does "Back"; the window stays.
    void secondClickDuringARunStartsNothing() {
        WindowJoinRig rig;
        CheckSecondClickStartsNothing(
            rig, [&] { rig.form().backButton()->click(); },  // ignored too
            [&] { QVERIFY(rig.form().isVisible()); });
    }

    // Closing the window while the run waits for its name ends the program:
    // the run stops there and writes nothing more.
    void closingTheWindowStopsTheRun() {
        WindowJoinRig rig;
        CheckEndingStopsTheRun(rig, [&] { rig.form().close(); });
        QVERIFY(!rig.form().isVisible());
    }

    // Closing the window while a call to the server does not return ends
    // the program within 3 seconds, by the window's own close: the call is
    // cancelled, or given up when its server process cannot even hear the
    // cancel. The run's lock is free, the staging file is whole, the log
    // counts the rows already written, and no box was shown.
    void closingEndsTheProgramWhateverTheServerDoes_data() {
        QTest::addColumn<Stuck>("stuck");
        QTest::newRow("sleeping read") << Stuck::SleepingRead;
        QTest::newRow("drop waiting for a lock") << Stuck::LockedDrop;
        QTest::newRow("server process stopped mid-write") << Stuck::StoppedServer;
        QTest::newRow("server process stopped mid-overwrite") << Stuck::StoppedServerOverwriting;
    }
    void closingEndsTheProgramWhateverTheServerDoes() {
        QFETCH(Stuck, stuck);
        standin::Login owner;
        owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10)))");
        owner.exec(R"(INSERT INTO "A" SELECT to_char(n, 'FM00') FROM generate_series(1, 20) n)");
        holdUp(stuck, owner);
        db::Connection holder = owner.connect();
        if (stuck == Stuck::LockedDrop || stuck == Stuck::StoppedServerOverwriting) {
            owner.exec(R"(CREATE TABLE "R" ("OLD" varchar(10)))");
            owner.exec(R"(INSERT INTO "R" VALUES ('kept'))");
        }
        if (stuck == Stuck::LockedDrop) {
            holder.beginTransaction();
            holder.execute(R"(LOCK TABLE "R" IN ACCESS SHARE MODE)");
        }
        SettingsStore::write(SettingsStore::OracleSID(), owner.login().sid);
        SettingsStore::write(SettingsStore::OracleUser(), owner.name());
        SettingsStore::write(SettingsStore::OraclePassword(), owner.password());
        QTemporaryDir folder;
        const QString staging = StagingDatabasePath(folder.path());
        OpenStagingDatabase(staging).execute("CREATE TABLE Kept (v TEXT)");
        OpenStagingDatabase(staging).execute("INSERT INTO Kept VALUES ('earlier run')");

        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(ClosingChildFolder, folder.path());
        environment.insert(ClosingChildSettings, m_settingsDir->path());
        environment.insert(ClosingChildLog, folder.filePath("quillmere.log"));
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(program.waitForStarted());
        const qint64 serverProcess = stuckServerProcess(owner, program);
        QVERIFY2(serverProcess > 0, program.readAll().constData());
        StoppedServerProcess stopped;
        if (stuck == Stuck::StoppedServer || stuck == Stuck::StoppedServerOverwriting)
            QVERIFY(stopped.stop(serverProcess));

        QElapsedTimer sinceClose;
        sinceClose.start();
        QFile close(folder.filePath("close"));
        QVERIFY(close.open(QIODevice::WriteOnly));
        close.close();
        const bool ended = program.waitForFinished(10000);
        const qint64 took = sinceClose.elapsed();
        const QByteArray output = program.readAll();
        QVERIFY2(ended && took < 3000,
                 qPrintable(QString::number(took) + QLatin1Char(' ') + QString::fromUtf8(output)));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY2(!output.contains("shown message"), output.constData());

        QVERIFY(!QFile::exists(staging + ".lock"));
        QLockFile lock(staging + ".lock");
        QVERIFY(lock.tryLock(0));
        db::Connection reopened = OpenStagingDatabase(staging);
        QCOMPARE(AllRows(reopened, "PRAGMA integrity_check"), (QList<QStringList>{{"ok"}}));
        QCOMPARE(AllRows(reopened, "SELECT * FROM Kept"), (QList<QStringList>{{"earlier run"}}));

        QFile logFile(folder.filePath("quillmere.log"));
        QVERIFY(logFile.open(QIODevice::ReadOnly));
        const QStringList logLines = QString::fromUtf8(logFile.readAll()).split(QLatin1Char('\n'));
        const QStringList summaries = logLines.filter("join run:");
        QCOMPARE(summaries.size(), 1);
        const QString& summary = summaries.front();
        if (stuck == Stuck::StoppedServer) {
            // The batches before the sleeping row were committed.
            const qint64 written = rowsWritten(owner);
            QVERIFY(written > 0 && written < 20);
            QVERIFY2(summary.contains(QStringLiteral("staged 20, written %1, missing %2")
                                          .arg(written)
                                          .arg(20 - written)),
                     qPrintable(summary));
            QCOMPARE(AllRows(reopened, "SELECT count(*) FROM R"), (QList<QStringList>{{"20"}}));
        } else if (stuck == Stuck::StoppedServerOverwriting) {
            // The listed table keeps its rows and took none of the new ones,
            // which the log finds under their own name.
            QCOMPARE(owner.rows(R"(SELECT * FROM "R")"), (QList<QStringList>{{"kept"}}));
            const qint64 written = rowsWritten(owner) - 1;
            QVERIFY(written > 0 && written < 20);
            QVERIFY2(summary.contains(QStringLiteral("staged 20, written 0, missing 20")),
                     qPrintable(summary));
            const QStringList whereTheyAre = logLines.filter(
                QRegularExpression(QStringLiteral(R"("R" keeps its rows: .*"QM_NEW_[0-9A-F]{8}" )"
                                                  R"(holds the %1 rows written)")
                                       .arg(written)));
            QVERIFY2(whereTheyAre.size() == 1, qPrintable(logLines.join(QLatin1Char('\n'))));
        } else if (stuck == Stuck::LockedDrop) {
            // The table the DROP was to remove is still the user's.
            QCOMPARE(owner.rows(R"(SELECT * FROM "R")"), (QList<QStringList>{{"kept"}}));
        } else {
            QVERIFY2(summary.contains(QStringLiteral("written -")), qPrintable(summary));
        }
    }

    // An overwrite through the window takes the old table out of both lists
    // and puts the new one in. The other selections stay, so a second "Start
    // Joining" needs no new choice; only a list whose selected table was the
    // one overwritten loses its selection.
    void overwriteKeepsTheSelections_data() {
        QTest::addColumn<QString>("table1");
        QTest::addColumn<QString>("table2");
        QTest::addColumn<bool>("table1Kept");
        QTest::newRow("other tables selected") << "A"
                                               << "B" << true;
        QTest::newRow("overwritten table selected") << "R"
                                                    << "B" << false;
    }
    void overwriteKeepsTheSelections() {
        QFETCH(QString, table1);
        QFETCH(QString, table2);
        QFETCH(bool, table1Kept);
        WindowJoinRig rig;
        for (const char* table : {"A", "B", "R"}) {
            rig.owner.exec(QStringLiteral("CREATE TABLE \"%1\" (\"ID\" varchar(10))").arg(table));
            rig.owner.exec(QStringLiteral("INSERT INTO \"%1\" VALUES ('1')").arg(table));
        }
        rig.openChoosing(table1, "ID", table2, "ID");
        rig.dialogs.promptAnswers << QStringLiteral("R");
        rig.dialogs.yesNoAnswers << true;
        rig.startJoining();
        QCOMPARE(rig.dialogs.errorBoxes().size(), 0);
        QCOMPARE(rig.owner.rows(R"(SELECT * FROM "R")"), (QList<QStringList>{{"1", "1"}}));
        Form2& form = rig.form();
        QCOMPARE(form.tableListEntries(First), (QStringList{"A", "B", "R"}));
        QCOMPARE(form.tableListEntries(Second), (QStringList{"A", "B", "R"}));
        QCOMPARE(form.selectedTable1(), table1Kept ? std::optional(table1) : std::nullopt);
        QCOMPARE(form.selectedTable2(), std::optional(table2));
        QCOMPARE(form.selectedField1(), QStringLiteral("ID"));
        QCOMPARE(form.selectedField2(), QStringLiteral("ID"));
        if (!table1Kept) return;
        // The same choices join again.
        rig.dialogs.shown.clear();
        rig.dialogs.promptAnswers << QStringLiteral("R");
        rig.dialogs.yesNoAnswers << true;
        rig.startJoining();
        QCOMPARE(rig.dialogs.texts(),
                 (QStringList{"Enter name of new table: ", "Would you like to overwrite R?"}));
    }

    // --help and --version answer and end the program; anything else,
    // Qt's own options among it, goes on to the window.
    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");  // -1: the program goes on
        QTest::addColumn<QString>("output");
        QTest::newRow("none") << QStringList{"quillmere"} << -1 << "";
        QTest::newRow("--version")
            << QStringList{"quillmere", "--version"} << 0 << "quillmere 1.0\n";
        QTest::newRow("-v") << QStringList{"quillmere", "-v"} << 0 << "quillmere 1.0\n";
        // Usage names the program run: here the test's own.
        QTest::newRow("--help") << QStringList{"/usr/bin/quillmere", "--help"} << 0 << "Usage: ";
        QTest::newRow("-h after Qt options")
            << QStringList{"quillmere", "-platform", "offscreen", "-h"} << 0 << "Usage: ";
        QTest::newRow("Qt options") << QStringList{"quillmere", "-platform", "offscreen", "-style",
                                                   "fusion",    "-reverse",  "--nograb"}
                                    << -1 << "";
    }
    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        const QString savedName = QCoreApplication::applicationName();
        const QString savedVersion = QCoreApplication::applicationVersion();
        QCoreApplication::setApplicationName(QStringLiteral("quillmere"));
        QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
        QString text;
        QTextStream out(&text);
        const std::optional<int> answer = AnswerCommandLine(arguments, out);
        out.flush();
        QCoreApplication::setApplicationName(savedName);
        QCoreApplication::setApplicationVersion(savedVersion);
        QCOMPARE(answer.value_or(-1), exitCode);
        if (output.isEmpty()) {
            QVERIFY2(text.isEmpty(), qPrintable(text));
        } else {
            QVERIFY2(text.startsWith(output), qPrintable(text));
        }
        if (output == QStringLiteral("Usage: "))
            QVERIFY(text.contains(QStringLiteral("-v, --version")) &&
                    text.contains(QStringLiteral("-platform")));
    }

    // Started with no display and stderr a file (as from cron), the program
    // cannot open its window; it says why on stderr, and in its log, before
    // it ends. Before that, a client character set that is not UTF-8 is
    // warned of in the log; without NLS_LANG, UTF-8 is taken and nothing said.
    void noDisplayToldOnStderr_data() {
        QTest::addColumn<QString>("lang");  // null: unset
        QTest::addColumn<bool>("warned");
        QTest::newRow("no NLS_LANG") << QString() << false;
        QTest::newRow("Western European client") << "GERMAN_GERMANY.WE8ISO8859P1" << true;
    }
    void noDisplayToldOnStderr() {
        QFETCH(QString, lang);
        QFETCH(bool, warned);
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_STATE_HOME",
                                 "XDG_DATA_HOME", "XDG_CONFIG_HOME"})
            environment.remove(QString::fromLatin1(name));
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.remove(QStringLiteral("NLS_LANG"));
        if (!lang.isNull()) environment.insert(QStringLiteral("NLS_LANG"), lang);
        QProcess program;
        program.setProcessEnvironment(environment);
        program.setStandardInputFile(QProcess::nullDevice());
        program.setStandardOutputFile(QProcess::nullDevice());
        const QString errors = home.filePath(QStringLiteral("stderr.txt"));
        program.setStandardErrorFile(errors);
        program.start(QStringLiteral(QM_PROGRAM), QStringList());
        QVERIFY(program.waitForFinished(30000));
        QVERIFY(program.exitStatus() == QProcess::CrashExit || program.exitCode() != 0);
        const auto text = [](const QString& path) {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        };
        const QString reason = QStringLiteral("no Qt platform plugin could be initialized");
        QVERIFY2(text(errors).contains(reason), qPrintable(text(errors)));
        const QString log =
            text(home.filePath(QStringLiteral(".local/state/quillmere/quillmere.log")));
        QVERIFY2(log.contains(QStringLiteral(" fatal ")) && log.contains(reason), qPrintable(log));
        QCOMPARE(log.contains(QStringLiteral("warning quillmere.oracle: NLS_LANG names the client "
                                             "character set WE8ISO8859P1, not UTF-8")),
                 warned);
    }
};

// Started with the closing child's environment, this program is the
// program being closed (see closingEndsTheProgramWhateverTheServerDoes).
int main(int argc, char** argv) {
    // Before the application object: the program's home is a temporary one.
    UsePrivateHome();
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(ClosingChildFolder)) return runClosingChild();
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestApp test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_app.moc"
