// Both windows as built, against the stand-in server: geometry, focus and
// keys, the pointer rule, the catalogue in the lists and their clicks.
#include <sys/stat.h>

#include <QDialog>
#include <QEnterEvent>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include "base/app_title.h"
#include "base/event_loop_run_context.h"
#include "base/settings_store.h"
#include "oracle/login_help_texts.h"
#include "oracle/oracle_lines.h"
#include "support/private_home.h"
#include "support/recording_dialogs.h"
#include "support/standin.h"
#include "support/window_helpers.h"
#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/form2_lines.h"
#include "ui/pointer_image.h"
#include "ui/qt_dialogs.h"
#include "ui/sorted_list_box.h"

using TableList = JoinWindow::TableList;

namespace {

// The login's own catalogue, in its own schema before the shared one, slow:
// listing tables yields while it waits, so a load can be caught mid-way.
void makeCatalogueSlow(const standin::Login& owner) {
    owner.exec(QStringLiteral("CREATE SCHEMA \"%1\"").arg(owner.name()));
    owner.exec(QStringLiteral("CREATE VIEW \"%1\".user_tables AS SELECT u.table_name FROM "
                              "public.user_tables u, "
                              "LATERAL pg_sleep(0.03 + 0 * length(u.table_name))")
                   .arg(owner.name()));
}

// Once a modal box is open, runs inspect and closes the box with Escape's
// answer; gives up after a while if none opens.
void closeBoxWhenOpen(std::function<void()> inspect, int attempts = 200) {
    QTimer::singleShot(10, qApp, [inspect = std::move(inspect), attempts] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!box) {
            if (attempts > 0) closeBoxWhenOpen(inspect, attempts - 1);
            return;
        }
        inspect();
        box->reject();
    });
}

// The pointer moves to pos (window coordinates) as the windowing system
// reports it: an enter to the element reached, then moves within it.
void movePointer(QWidget& window, QPoint pos) {
    QVERIFY(window.windowHandle());
    QTest::mouseMove(window.windowHandle(), pos);
}

// Where a window's control should stand, by its object name.
struct ControlPlace {
    const char* name;
    QRect rect;
};

// Each named control is there, at its place within its parent.
void compareGeometry(const QWidget& window, std::initializer_list<ControlPlace> places) {
    for (const ControlPlace& control : places) {
        auto* widget = window.findChild<QWidget*>(QString::fromLatin1(control.name));
        QVERIFY2(widget, control.name);
        QCOMPARE(widget->geometry(), control.rect);
    }
}

// Opens one kind of box and checks the answer it gives when closed.
using OpenBox = void (*)(Dialogs&);
}  // namespace

Q_DECLARE_METATYPE(OpenBox)

class TestUi : public QObject {
    Q_OBJECT

public:
    // Before the application object: the program's home is a temporary one.
    static void initMain() { UsePrivateHome(); }

    std::unique_ptr<QTemporaryDir> m_settingsDir;
    QTemporaryDir m_programFolder;
    EventLoopRunContext m_context;

    // A file's mode bits, as the file system holds them.
    static int fileMode(const QString& path) {
        struct stat info {};
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777)
                                                                       : -1;
    }
    QString settingsText() {
        QFile file(SettingsStore::fileName());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    std::unique_ptr<Form2> shownForm(RecordingDialogs& dialogs, const OracleLogin& login) {
        auto form = std::make_unique<Form2>(
            m_programFolder.path(), dialogs, [login] { return login; }, m_context);
        form->load();
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get())) qWarning("window not exposed");
        return form;
    }

private slots:
    // Every case starts with no saved settings.
    void init() {
        m_settingsDir = std::make_unique<QTemporaryDir>();
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir->path());
        SetAppTitle();
    }
    void helpTexts() {
        const QString text = SidHelpText();
        QVERIFY(text.startsWith(
            QStringLiteral("This software works with Oracle 9i or higher.\r\rThe SID is")));
        QVERIFY(text.contains(
            QStringLiteral("looks like:\r\n\r\nZEDA =\r\n (DESCRIPTION =\r\n   (ADDRESS_LIST =\r\n"
                           "     (ADDRESS = (PROTOCOL = TCP)(HOST = ")));
        QVERIFY(text.endsWith(
            QStringLiteral("(PORT = 1521))\r\n   )\r\n   (CONNECT_DATA =\r\n     (SID = ZEDA)\r\n"
                           "   )\r\n )\r\n\r\nTherefore, my SID would be ZEDA")));

        RecordingDialogs dialogs;
        Form1 form(dialogs, m_context);
        form.findChild<QPushButton*>(QStringLiteral("PushButton1"))->click();
        form.findChild<QPushButton*>(QStringLiteral("PushButton6"))->click();
        QCOMPARE(dialogs.texts(),
                 (QStringList{
                     text, text,
                     QStringLiteral(
                         "This software does not support the CLOB and NLOB data type in Oracle."),
                     QStringLiteral("You must have Access 2000 or higher installed.")}));
        for (const auto& shown : dialogs.shown) {
            QCOMPARE(shown.caption, QString());
            QCOMPARE(shown.icon, Dialogs::Icon::None);
        }
    }

    void loginWindowGeometry() {
        RecordingDialogs dialogs;
        Form1 form(dialogs, m_context);
        QCOMPARE(form.size(), QSize(536, 274));
        compareGeometry(form, {{"Frame1", {8, 8, 520, 161}},
                               {"Label2", {16, 27, 73, 17}},
                               {"Text1", {88, 24, 369, 23}},
                               {"PushButton1", {464, 24, 41, 23}},
                               {"Text2", {88, 56, 417, 23}},
                               {"Text3", {88, 88, 417, 23}},
                               {"PushButton5", {16, 120, 240, 27}},
                               {"PushButton6", {264, 120, 240, 27}},
                               {"Frame2", {8, 173, 520, 57}},
                               {"PushButton4", {16, 20, 487, 27}},
                               {"PushButton3", {8, 239, 520, 27}}});
        if (QTest::currentTestFailed()) return;
        auto* password = form.passwordField();
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QCOMPARE(
            password->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, password),
            int('*'));
        QCOMPARE(form.findChild<QPushButton*>(QStringLiteral("PushButton3"))->font().pointSizeF(),
                 11.25);
        QVERIFY(form.sidField()->font().bold());
        QCOMPARE(form.sidField()->accessibleName(), QStringLiteral("SID"));
    }

    void tabOrderAndSelection() {
        RecordingDialogs dialogs;
        Form1 form(dialogs, m_context);
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
        Form1 form(dialogs, m_context);
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
        Form1 form(dialogs, m_context);
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
    void settingsWrittenAtEveryChange() {
        RecordingDialogs dialogs;
        Form1 form(dialogs, m_context);
        QStringList written;
        QTest::keyClicks(form.sidField(), QStringLiteral("a"));
        written << SettingsStore::read(SettingsStore::OracleSID());
        QTest::keyClicks(form.sidField(), QStringLiteral("b"));
        written << SettingsStore::read(SettingsStore::OracleSID());
        QTest::keyClicks(form.sidField(), QStringLiteral("c"));
        written << SettingsStore::read(SettingsStore::OracleSID());
        QCOMPARE(written, (QStringList{"a", "ab", "abc"}));
        QVERIFY(settingsText().contains(QStringLiteral("OracleSID=abc")));  // on disk at once

        QTest::keyClicks(form.passwordField(), QStringLiteral(" p;w "));
        form.passwordField()->clear();
        form.userField()->insert(QStringLiteral(" Zoë ;=x "));
        QCOMPARE(SettingsStore::read(SettingsStore::OraclePassword(), QStringLiteral("missing")),
                 QString());
        QCOMPARE(SettingsStore::read(SettingsStore::OracleUser()), QStringLiteral(" Zoë ;=x "));
        QCOMPARE(fileMode(SettingsStore::fileName()), 0600);
    }

    // The pointer state as the pointer reaches each kind of element.
    void pointerRule_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("element");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        const int arrow = int(PointerState::Default), hourglass = int(PointerState::Hourglass),
                  own = int(PointerState::Custom);
        QTest::newRow("button") << "Form1"
                                << "PushButton5" << arrow << own;
        QTest::newRow("button in frame 2") << "Form1"
                                           << "PushButton4" << arrow << own;
        QTest::newRow("background") << "Form1"
                                    << "Form1" << own << arrow;
        QTest::newRow("frame") << "Form1"
                               << "Frame2" << own << arrow;
        QTest::newRow("field") << "Form1"
                               << "Text3" << own << arrow;
        QTest::newRow("label keeps own image") << "Form1"
                                               << "Label2" << own << own;
        QTest::newRow("label keeps arrow") << "Form1"
                                           << "Label1" << arrow << arrow;
        QTest::newRow("hourglass over button") << "Form1"
                                               << "PushButton3" << hourglass << hourglass;
        QTest::newRow("hourglass over field") << "Form1"
                                              << "Text1" << hourglass << hourglass;
        QTest::newRow("hourglass over background") << "Form1"
                                                   << "Form1" << hourglass << hourglass;
        QTest::newRow("set-up: Start Joining") << "Form2"
                                               << "PushButton2" << arrow << own;
        QTest::newRow("set-up: table list") << "Form2"
                                            << "List3" << own << arrow;
        QTest::newRow("set-up: options frame") << "Form2"
                                               << "Frame2" << own << arrow;
        QTest::newRow("set-up: field list keeps") << "Form2"
                                                  << "List2" << own << own;
        QTest::newRow("set-up: suffix keeps") << "Form2"
                                              << "Text1" << own << own;
        QTest::newRow("set-up: progress keeps") << "Form2"
                                                << "ProgressBar1" << arrow << arrow;
        QTest::newRow("set-up: hourglass over list") << "Form2"
                                                     << "List1" << hourglass << hourglass;
    }
    void pointerRule() {
        QFETCH(QString, window);
        QFETCH(QString, element);
        QFETCH(int, before);
        QFETCH(int, after);
        RecordingDialogs dialogs;
        QTemporaryDir programFolder;
        Form1 form1(dialogs, m_context);
        Form2 form2(
            programFolder.path(), dialogs, [] { return OracleLogin{}; }, m_context);
        QWidget& form = window == "Form1" ? static_cast<QWidget&>(form1) : form2;
        WidgetPointer& pointer = window == "Form1" ? form1.pointer() : form2.pointer();
        pointer.setImage(
            LoadPointerImage(QStringLiteral(QM_SOURCE_DIR "/src/ui/resources/HAND-M.CUR")));
        pointer.setPointerState(PointerState(before));
        QWidget* target = element == window ? &form : form.findChild<QWidget*>(element);
        QVERIFY(target);
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(target, &enter);
        QCOMPARE(int(pointer.pointerState()), after);
        if (after == int(PointerState::Hourglass)) {
            QVERIFY(QApplication::overrideCursor());
            QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        }
        if (after == int(PointerState::Custom)) QCOMPARE(form.cursor().shape(), Qt::BitmapCursor);
        pointer.setPointerState(PointerState::Default);
        QVERIFY(!QApplication::overrideCursor());
    }

    // Both windows rendered to PNG files in a temporary folder for a person to
    // look at, and every control where its twips put it, within one pixel.
    void windowsAtTheirTwips() {
        struct Control {
            const char* window;
            const char* name;
            int left, top, width, height;  // twips; no size for a label sized to its text
        };
        const Control controls[] = {
            {"Form1", "Frame1", 120, 120, 7800, 2415},
            {"Form1", "Label2", 240, 405, 1095, 255},
            {"Form1", "Text1", 1320, 360, 5535, 345},
            {"Form1", "PushButton1", 6960, 360, 615, 345},
            {"Form1", "Label1", 240, 885, 1095, 255},
            {"Form1", "Text2", 1320, 840, 6255, 345},
            {"Form1", "Label4", 240, 1365, 1095, 255},
            {"Form1", "Text3", 1320, 1320, 6255, 345},
            {"Form1", "PushButton5", 240, 1800, 3600, 405},
            {"Form1", "PushButton6", 3960, 1800, 3600, 405},
            {"Form1", "Frame2", 120, 2600, 7800, 855},
            {"Form1", "PushButton4", 240, 300, 7300, 405},
            {"Form1", "PushButton3", 120, 3580, 7800, 405},
            {"Form2", "Frame3", 120, 120, 6120, 2055},
            {"Form2", "Label1", 240, 300, 0, 0},
            {"Form2", "List1", 240, 600, 2730, 1185},
            {"Form2", "Label2", 3120, 300, 0, 0},
            {"Form2", "List2", 3120, 600, 2730, 1185},
            {"Form2", "Frame1", 120, 2200, 6120, 2055},
            {"Form2", "Label3", 240, 300, 0, 0},
            {"Form2", "List3", 240, 600, 2730, 1185},
            {"Form2", "Label4", 3120, 300, 0, 0},
            {"Form2", "List4", 3120, 600, 2730, 1185},
            {"Form2", "Frame2", 120, 4300, 6120, 855},
            {"Form2", "Label5", 240, 360, 0, 0},
            {"Form2", "Text1", 5040, 330, 855, 330},
            {"Form2", "PushButton5", 120, 5250, 1680, 405},
            {"Form2", "PushButton2", 1920, 5250, 4320, 405},
            {"Form2", "ProgressBar1", 120, 5760, 6120, 405},
        };
        RecordingDialogs dialogs;
        QTemporaryDir programFolder;
        Form1 form1(dialogs, m_context);
        Form2 form2(
            programFolder.path(), dialogs, [] { return OracleLogin{}; }, m_context);
        QCOMPARE(form1.size(), QSize(536, 274));
        QCOMPARE(form2.size(), QSize(424, 419));
        const auto near = [](double twips, int pixels) {
            return std::abs(twips / 15.0 - pixels) <= 1.0;
        };
        for (const Control& control : controls) {
            QWidget* window = QString::fromLatin1(control.window) == "Form1"
                                  ? static_cast<QWidget*>(&form1)
                                  : &form2;
            auto* widget = window->findChild<QWidget*>(QString::fromLatin1(control.name));
            QVERIFY2(widget, control.name);
            const QRect r = widget->geometry();
            const QString where = QStringLiteral("%1.%2 at %3,%4 %5x%6")
                                      .arg(control.window, control.name)
                                      .arg(r.x())
                                      .arg(r.y())
                                      .arg(r.width())
                                      .arg(r.height());
            QVERIFY2(near(control.left, r.x()) && near(control.top, r.y()), qPrintable(where));
            if (control.width)
                QVERIFY2(near(control.left + control.width, r.x() + r.width()) &&
                             near(control.top + control.height, r.y() + r.height()),
                         qPrintable(where));
            else
                QVERIFY2(r.right() < widget->parentWidget()->width(),
                         qPrintable(where));  // inside its frame
        }
        // Kept after the test, outside the working folder, for a person to look at.
        const QDir pictures(QDir::temp().filePath(QStringLiteral("quillmere-windows")));
        QVERIFY(pictures.mkpath(QStringLiteral(".")));
        QVERIFY(form1.grab().save(pictures.filePath(QStringLiteral("Form1.png"))));
        QVERIFY(form2.grab().save(pictures.filePath(QStringLiteral("Form2.png"))));
        qInfo("Window pictures in %s", qPrintable(pictures.path()));
    }
    void windowAsDesigned() {
        RecordingDialogs dialogs;
        Form2 form(
            m_programFolder.path(), dialogs, [] { return OracleLogin{}; }, m_context);
        QCOMPARE(form.size(), QSize(424, 419));
        compareGeometry(form, {{"Frame3", {8, 8, 408, 137}},
                               {"List1", {16, 40, 182, 79}},
                               {"List2", {208, 40, 182, 79}},
                               {"Frame1", {8, 147, 408, 137}},
                               {"Frame2", {8, 287, 408, 57}},
                               {"Text1", {336, 22, 57, 22}},
                               {"PushButton5", {8, 350, 112, 27}},
                               {"PushButton2", {128, 350, 288, 27}},
                               {"ProgressBar1", {8, 384, 408, 27}}});
        if (QTest::currentTestFailed()) return;
        for (auto* label : form.findChildren<QLabel*>()) QCOMPARE(label->size(), label->sizeHint());
        QCOMPARE(form.findChild<QLabel*>(QStringLiteral("Label5"))->text(),
                 QStringLiteral("Duplicate field names will have this text added to end:"));
        QCOMPARE(form.suffix(), QStringLiteral("1"));
        QCOMPARE(form.progressBar()->minimum(), 0);
        QCOMPARE(form.progressBar()->maximum(), 100);
        QCOMPARE(form.progressBar()->value(), 0);
        QCOMPARE(form.startJoiningButton()->font().pointSizeF(), 11.25);
        QVERIFY(form.tableList(TableList::First)->font().bold());

        // "Start Joining" does nothing until the join run is wired to it.
        form.startJoiningButton()->click();
        int started = 0;
        form.setStartJoining([&] { ++started; });
        form.startJoiningButton()->click();
        QCOMPARE(started, 1);
        QVERIFY(dialogs.shown.isEmpty());
    }

    // Ascending, case ignored, equal entries in the order they came; only the
    // user moving the selection (or clicking it again) is a click.
    void sortedListAndItsClicks() {
        SortedListBox list;
        list.resize(200, 300);
        QSignalSpy clicks(&list, &SortedListBox::clickedByUser);
        for (const char* name : {"beta", "Alpha", "BETA", "gamma", "Beta", "alpha", "_x"})
            list.addEntry(QString::fromLatin1(name));
        QCOMPARE(list.entries(),
                 (QStringList{"_x", "Alpha", "alpha", "beta", "BETA", "Beta", "gamma"}));
        QCOMPARE(list.selectedEntry(), std::nullopt);

        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        // The focus arriving by Tab selects nothing.
        QFocusEvent tabIn(QEvent::FocusIn, Qt::TabFocusReason);
        QApplication::sendEvent(&list, &tabIn);
        QCOMPARE(clicks.size(), 0);
        QCOMPARE(list.selectedEntry(), std::nullopt);

        clickEntry(&list, QStringLiteral("BETA"));
        QCOMPARE(clicks.size(), 1);
        clickEntry(&list, QStringLiteral("BETA"));
        QCOMPARE(clicks.size(), 2);
        QTest::keyClick(&list, Qt::Key_Down);
        QCOMPARE(clicks.size(), 3);
        QCOMPARE(list.selectedEntry(), QStringLiteral("Beta"));

        // The program's own changes: no click, and the user's choice stays.
        list.addEntry(QStringLiteral("aardvark"));
        list.removeEntryAt(0);
        QCOMPARE(list.selectedEntry(), QStringLiteral("Beta"));
        list.removeEntryAt(int(list.entries().indexOf(QStringLiteral("Beta"))));
        QCOMPARE(list.selectedEntry(), std::nullopt);
        list.clearEntries();
        QCOMPARE(clicks.size(), 3);

        // Frozen, the list keeps its selection against clicks and keys.
        list.addEntry(QStringLiteral("one"));
        list.addEntry(QStringLiteral("two"));
        clickEntry(&list, QStringLiteral("one"));
        QCOMPARE(clicks.size(), 4);
        list.setFrozen(true);
        clickEntry(&list, QStringLiteral("two"));
        clickEntry(&list, QStringLiteral("one"));
        QTest::keyClick(&list, Qt::Key_Down);
        QCOMPARE(clicks.size(), 4);
        QCOMPARE(list.selectedEntry(), QStringLiteral("one"));
        // The program's removal of another entry keeps it too, as a run does
        // when it overwrites a table.
        list.addEntry(QStringLiteral("three"));
        list.removeEntryAt(int(list.entries().indexOf(QStringLiteral("three"))));
        QCOMPARE(list.selectedEntry(), QStringLiteral("one"));
        list.removeEntryAt(int(list.entries().indexOf(QStringLiteral("one"))));
        QCOMPARE(list.selectedEntry(), std::nullopt);
        list.addEntry(QStringLiteral("one"));
        list.setFrozen(false);
        clickEntry(&list, QStringLiteral("two"));
        QCOMPARE(clicks.size(), 5);
    }

    // Exactly the login's own tables, in both lists, refilled at each load.
    void tableListsHoldTheLoginsOwnTables() {
        standin::Login owner;
        RecordingDialogs dialogs;
        auto form = shownForm(dialogs, owner.login());
        QCOMPARE(form->tableListEntries(TableList::First), QStringList());
        QCOMPARE(form->tableListEntries(TableList::Second), QStringList());
        QVERIFY(dialogs.shown.isEmpty());
        QCOMPARE(form->windowTitle(), QStringLiteral("Quillmere Software"));

        owner.exec(QStringLiteral("CREATE TABLE \"ORDERS\" (\"ID\" integer)"));
        owner.exec(QStringLiteral("CREATE TABLE \"customers\" (\"ID\" integer)"));
        owner.exec(QStringLiteral("CREATE TABLE \"Mixed Case\" (\"ID\" integer)"));
        owner.exec(QStringLiteral("CREATE VIEW \"ORDER_VIEW\" AS SELECT * FROM \"ORDERS\""));
        // A table of another login that this one may read.
        db::Connection admin = standin::admin(owner.name());
        admin.execute(QStringLiteral("CREATE TABLE \"THEIRS\" (\"ID\" integer)"));
        admin.execute(QStringLiteral("GRANT SELECT ON \"THEIRS\" TO \"%1\"").arg(owner.name()));

        form->load();
        form->load();
        const QStringList own = {"customers", "Mixed Case", "ORDERS"};
        QCOMPARE(form->tableListEntries(TableList::First), own);
        QCOMPARE(form->tableListEntries(TableList::Second), own);
        QVERIFY(dialogs.shown.isEmpty());
    }

    // A click lists the fields of exactly the table clicked, sorted, once,
    // in the field list beside it; names are taken with their exact case,
    // blanks, quotes and underscores.
    void fieldsOfTheClickedTable_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("other");
        QTest::newRow("upper case") << "ORDERS"
                                    << "orders";
        QTest::newRow("lower case") << "orders"
                                    << "ORDERS";
        QTest::newRow("mixed case") << "Orders"
                                    << "ORDERS";
        QTest::newRow("blank") << "Order Lines"
                               << "Order";
        QTest::newRow("underscore") << "ORDER_LINES"
                                    << "ORDERXLINES";
        QTest::newRow("double quote") << "Q\"T"
                                      << "Q";
        QTest::newRow("non-ASCII") << QStringLiteral("Bestellübersicht") << "Bestell";
    }
    void fieldsOfTheClickedTable() {
        QFETCH(QString, table);
        QFETCH(QString, other);
        const auto quoted = [](QString name) {
            return QLatin1Char('"') + name.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                   QLatin1Char('"');
        };
        standin::Login owner;
        owner.exec(QStringLiteral("CREATE TABLE %1 (\"C\" integer, \"A\" text, \"B\" date)")
                       .arg(quoted(table)));
        owner.exec(QStringLiteral("INSERT INTO %1 VALUES (1, 'x', NULL)").arg(quoted(table)));
        owner.exec(
            QStringLiteral("CREATE TABLE %1 (\"Y\" integer, \"X\" integer)").arg(quoted(other)));
        RecordingDialogs dialogs;
        auto form = shownForm(dialogs, owner.login());
        SortedListBox* list1 = form->tableList(TableList::First);
        SortedListBox* list2 = form->fieldList(TableList::First);

        clickEntry(list1, table);
        QCOMPARE(list2->entries(), (QStringList{"A", "B", "C"}));
        clickEntry(list1, table);
        QCOMPARE(list2->entries(), (QStringList{"A", "B", "C"}));
        clickEntry(list1, other);
        QCOMPARE(list2->entries(), (QStringList{"X", "Y"}));
        QCOMPARE(form->fieldList(TableList::Second)->entries(), QStringList());

        clickEntry(form->tableList(TableList::Second), table);
        QCOMPARE(form->fieldList(TableList::Second)->entries(), (QStringList{"A", "B", "C"}));
        QCOMPARE(list2->entries(), (QStringList{"X", "Y"}));
        QCOMPARE(form->selectedTable1(), other);
        QCOMPARE(form->selectedTable2(), table);
        QVERIFY(dialogs.shown.isEmpty());
        QCOMPARE(form->pointer().pointerState(), PointerState::Default);
    }

    // A table dropped after the listing: the error box at line 100 of the
    // list's click, no hourglass left behind, no fields of another table.
    void fieldListingFailure_data() {
        QTest::addColumn<int>("list");
        QTest::addColumn<QString>("handler");
        QTest::newRow("List1") << int(TableList::First) << "List1_Click";
        QTest::newRow("List3") << int(TableList::Second) << "List3_Click";
    }
    void fieldListingFailure() {
        QFETCH(int, list);
        QFETCH(QString, handler);
        standin::Login owner;
        owner.exec(QStringLiteral("CREATE TABLE \"KEPT\" (\"K\" integer)"));
        owner.exec(QStringLiteral("CREATE TABLE \"GONE\" (\"G\" integer)"));
        RecordingDialogs dialogs;
        auto form = shownForm(dialogs, owner.login());
        const auto side = TableList(list);
        clickEntry(form->tableList(side), QStringLiteral("KEPT"));
        QCOMPARE(form->fieldList(side)->entries(), QStringList{"K"});

        owner.exec(QStringLiteral("DROP TABLE \"GONE\""));
        bool hourglassDuringBox = true;
        dialogs.onShown = [&](const RecordingDialogs::Shown&) {
            hourglassDuringBox = QApplication::overrideCursor() != nullptr;
        };
        clickEntry(form->tableList(side), QStringLiteral("GONE"));
        QCOMPARE(errorLines(dialogs, handler), QList<int>{ListFieldsLine::ListFields});
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY(dialogs.shown.front().text.contains(QStringLiteral("GONE")));
        QVERIFY(!hourglassDuringBox);
        QCOMPARE(form->pointer().pointerState(), PointerState::Default);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QCOMPARE(form->fieldList(side)->entries(), QStringList());
    }

    // While the join runs, "< Back" and the table lists do nothing.
    void joinRunningFreezesBackAndTableLists() {
        standin::Login owner;
        owner.exec(QStringLiteral("CREATE TABLE \"T1\" (\"A\" integer)"));
        owner.exec(QStringLiteral("CREATE TABLE \"T2\" (\"B\" integer)"));
        RecordingDialogs dialogs;
        auto form = shownForm(dialogs, owner.login());
        int loginShown = 0;
        form->setShowLoginWindow([&] { ++loginShown; });
        clickEntry(form->tableList(TableList::First), QStringLiteral("T1"));

        form->setJoinRunning(true);
        clickEntry(form->tableList(TableList::First), QStringLiteral("T2"));
        clickEntry(form->tableList(TableList::Second), QStringLiteral("T2"));
        form->backButton()->click();
        QCOMPARE(form->selectedTable1(), QStringLiteral("T1"));
        QCOMPARE(form->selectedTable2(), std::nullopt);
        QCOMPARE(form->fieldList(TableList::First)->entries(), QStringList{"A"});
        QCOMPARE(form->fieldList(TableList::Second)->entries(), QStringList());
        QCOMPARE(loginShown, 0);
        QVERIFY(form->isVisible());
        // What the run itself adds or removes needs no click.
        form->addTableListEntry(TableList::First, QStringLiteral("NEW"));
        QCOMPARE(form->tableListEntries(TableList::First), (QStringList{"NEW", "T1", "T2"}));

        form->setJoinRunning(false);
        clickEntry(form->tableList(TableList::First), QStringLiteral("T2"));
        QCOMPARE(form->fieldList(TableList::First)->entries(), QStringList{"B"});
        form->backButton()->click();
        QCOMPARE(loginShown, 1);
        QVERIFY(!form->isVisible());
        QVERIFY(dialogs.shown.isEmpty());
    }

    // The window's long operations (its load step, a table list's click,
    // "Start Joining") never run nested: one started while another yields
    // is ignored. The load yields while its lists fill (here slowly, a row
    // at a time); a run is marked as the join run marks it.
    void noLongOperationInsideAnother_data() {
        QTest::addColumn<QString>("during");
        QTest::addColumn<QString>("action");
        // A table list's click during the load runs (below); a load overtakes a load.
        QTest::newRow("Start Joining during the load") << "load"
                                                       << "Start Joining";
        for (const char* action : {"Start Joining", "List1 click", "List3 click", "load"})
            QTest::addRow("%s during the run", action) << "run" << action;
    }
    void noLongOperationInsideAnother() {
        QFETCH(QString, during);
        QFETCH(QString, action);
        standin::Login owner;
        owner.exec(QStringLiteral("CREATE TABLE \"A\" (\"ID\" integer, \"V\" text)"));
        owner.exec(QStringLiteral("CREATE TABLE \"B\" (\"ID\" integer)"));
        makeCatalogueSlow(owner);
        RecordingDialogs dialogs;
        auto form = shownForm(dialogs, owner.login());
        int started = 0;
        form->setStartJoining([&] { ++started; });
        owner.exec(QStringLiteral("CREATE TABLE \"C\" (\"ID\" integer)"));

        SortedListBox* list1 = form->tableList(TableList::First);
        SortedListBox* list3 = form->tableList(TableList::Second);
        const auto act = [&] {
            if (action == QStringLiteral("Start Joining")) form->startJoiningButton()->click();
            if (action == QStringLiteral("List1 click")) clickEntry(list1, QStringLiteral("A"));
            if (action == QStringLiteral("List3 click")) clickEntry(list3, QStringLiteral("A"));
            if (action == QStringLiteral("load")) form->load();
        };
        bool acted = false;
        if (during == QStringLiteral("load")) {
            // Once List1 is filled, while List3 fills.
            QTimer poll;
            poll.setInterval(0);
            connect(&poll, &QTimer::timeout, form.get(), [&] {
                if (acted || !entry(list1, QStringLiteral("C"))) return;
                acted = true;
                act();
            });
            poll.start();
            form->load();
        } else {
            form->setJoinRunning(true);
            act();
            acted = true;
            form->setJoinRunning(false);
        }
        QVERIFY(acted);
        QCOMPARE(started, 0);
        QCOMPARE(form->fieldList(TableList::First)->entries(), QStringList());
        QCOMPARE(form->fieldList(TableList::Second)->entries(), QStringList());
        const QStringList tables =
            during == QStringLiteral("load") ? QStringList{"A", "B", "C"} : QStringList{"A", "B"};
        QCOMPARE(list1->entries(), tables);
        QCOMPARE(list3->entries(), tables);
        QVERIFY(dialogs.shown.isEmpty());
    }

    // Listing fields never yields, so a table clicked while the load fills
    // the lists shows its own fields at once, replacing those of the table
    // chosen before; "Start Joining" is still ignored meanwhile. List1 is
    // clicked while List3 fills (List3 itself is empty until its rows come,
    // then filled without a pause).
    void clickDuringTheLoadListsFields() {
        const auto side = TableList::First;
        standin::Login owner;
        owner.exec(QStringLiteral("CREATE TABLE \"A\" (\"ID\" integer, \"V\" text)"));
        owner.exec(QStringLiteral("CREATE TABLE \"B\" (\"W\" integer)"));
        owner.exec(QStringLiteral("CREATE TABLE \"C\" (\"Y\" integer, \"X\" date)"));
        makeCatalogueSlow(owner);
        RecordingDialogs dialogs;
        auto form = shownForm(dialogs, owner.login());
        int started = 0;
        form->setStartJoining([&] { ++started; });
        SortedListBox* tables = form->tableList(side);
        clickEntry(tables, QStringLiteral("B"));
        QCOMPARE(form->fieldList(side)->entries(), QStringList{"W"});

        // Once the list holds a table other than "B", while the load yields.
        bool loading = false;
        QString clicked;
        QTimer poll;
        poll.setInterval(0);
        connect(&poll, &QTimer::timeout, form.get(), [&] {
            if (!clicked.isEmpty() || !loading) return;
            for (const QString& table : tables->entries()) {
                if (table == QStringLiteral("B")) continue;
                clicked = table;
                clickEntry(tables, table);
                form->startJoiningButton()->click();
                return;
            }
        });
        poll.start();
        loading = true;
        form->load();
        loading = false;
        QVERIFY(!clicked.isEmpty());
        QCOMPARE(tables->entries(), (QStringList{"A", "B", "C"}));
        QCOMPARE(tables->selectedEntry(), clicked);
        const QStringList fields =
            clicked == QStringLiteral("A") ? QStringList{"ID", "V"} : QStringList{"X", "Y"};
        QCOMPARE(form->fieldList(side)->entries(), fields);
        QCOMPARE(started, 0);
        QVERIFY(dialogs.shown.isEmpty());
        QCOMPARE(form->pointer().pointerState(), PointerState::Default);
    }

    // Unreachable server: one box for each table list and the window opens.
    void serverGone() {
        RecordingDialogs dialogs;
        const OracleLogin nowhere{QDir::temp().filePath(QStringLiteral("qm-no-server")),
                                  QStringLiteral("u"), QStringLiteral("p")};
        auto form = shownForm(dialogs, nowhere);
        QCOMPARE(errorLines(dialogs, QStringLiteral("Form_Load")),
                 (QList<int>{SetupWindowLoadLine::FillList1, SetupWindowLoadLine::FillList3}));
        QCOMPARE(dialogs.shown.size(), 2);
        QVERIFY(!dialogs.shown.front().text.startsWith(QStringLiteral("\r\n")));
        QVERIFY(form->isVisible());
        QCOMPARE(form->windowTitle(), QStringLiteral("Quillmere Software"));
    }

    // A box shown while the window is busy asks the user to act: the arrow
    // while it is open, the hourglass over the whole window again after.
    void boxesShowTheArrowOverTheHourglass_data() {
        QTest::addColumn<OpenBox>("openBox");  // opens the box and checks its answer
        QTest::addColumn<bool>("busy");
        const OpenBox message = [](Dialogs& dialogs) {
            dialogs.message(QStringLiteral("Failed"), QStringLiteral("Application Error"));
        };
        const OpenBox question = [](Dialogs& dialogs) {
            QVERIFY(!dialogs.askYesNo(QStringLiteral("Overwrite?")));
        };
        const OpenBox prompt = [](Dialogs& dialogs) {
            QCOMPARE(dialogs.prompt(QStringLiteral("Name of the new table")), std::nullopt);
        };
        QTest::newRow("error box while busy") << message << true;
        QTest::newRow("overwrite question while busy") << question << true;
        QTest::newRow("name prompt while busy") << prompt << true;
        QTest::newRow("prompt with nothing busy") << prompt << false;
    }
    void boxesShowTheArrowOverTheHourglass() {
        QFETCH(OpenBox, openBox);
        QFETCH(bool, busy);
        RecordingDialogs recording;
        Form1 form(recording, m_context);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        if (busy) form.pointer().setPointerState(PointerState::Hourglass);

        bool opened = false;
        std::optional<Qt::CursorShape> overrideWhileOpen;
        closeBoxWhenOpen([&] {
            opened = true;
            if (QApplication::overrideCursor())
                overrideWhileOpen = QApplication::overrideCursor()->shape();
        });
        QtDialogs qtDialogs;
        Dialogs& dialogs = qtDialogs;
        openBox(dialogs);
        if (QTest::currentTestFailed()) return;
        QVERIFY(opened);
        // With nothing busy there is no override: the box's own pointers show.
        QCOMPARE(overrideWhileOpen,
                 busy ? std::optional<Qt::CursorShape>(Qt::ArrowCursor) : std::nullopt);

        if (busy) {
            QCOMPARE(form.pointer().pointerState(), PointerState::Hourglass);
            QVERIFY(QApplication::overrideCursor());
            QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        }
        form.pointer().setPointerState(PointerState::Default);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    // The pointer rests on the button that started the work; when the work
    // ends, the next move over that button brings the hand back, while a
    // move during the work leaves the hourglass.
    void handBackOnMoveAfterTheHourglass_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("button");
        QTest::newRow("Test Connection") << "Form1"
                                         << "PushButton5";
        QTest::newRow("Start Joining") << "Form2"
                                       << "PushButton2";
    }
    void handBackOnMoveAfterTheHourglass() {
        QFETCH(QString, window);
        QFETCH(QString, button);
        RecordingDialogs dialogs;
        QTemporaryDir programFolder;
        Form1 form1(dialogs, m_context);
        Form2 form2(
            programFolder.path(), dialogs, [] { return OracleLogin{}; }, m_context);
        QWidget& form = window == "Form1" ? static_cast<QWidget&>(form1) : form2;
        WidgetPointer& pointer = window == "Form1" ? form1.pointer() : form2.pointer();
        pointer.setImage(
            LoadPointerImage(QStringLiteral(QM_SOURCE_DIR "/src/ui/resources/HAND-M.CUR")));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* target = form.findChild<QWidget*>(button);
        QVERIFY(target);
        const QPoint on = target->mapTo(&form, target->rect().center());

        movePointer(form, QPoint(2, 2));  // the window's background
        movePointer(form, on);
        QCOMPARE(pointer.pointerState(), PointerState::Custom);
        pointer.setPointerState(PointerState::Hourglass);  // the click starts the work
        movePointer(form, on + QPoint(1, 0));
        QCOMPARE(pointer.pointerState(), PointerState::Hourglass);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        pointer.setPointerState(PointerState::Default);  // the work ends
        QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);

        movePointer(form, on + QPoint(2, 0));
        QCOMPARE(pointer.pointerState(), PointerState::Custom);
        QCOMPARE(form.cursor().shape(), Qt::BitmapCursor);
        pointer.setPointerState(PointerState::Default);
    }

    // Moving on from a button onto a label and over it keeps the hand: the
    // label, and the frame around it, never take it away by a move.
    void movesOverALabelKeepTheHand() {
        RecordingDialogs dialogs;
        Form1 form(dialogs, m_context);
        form.pointer().setImage(
            LoadPointerImage(QStringLiteral(QM_SOURCE_DIR "/src/ui/resources/HAND-M.CUR")));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const auto centreOf = [&form](const char* name) {
            auto* widget = form.findChild<QWidget*>(QString::fromLatin1(name));
            return widget->mapTo(&form, widget->rect().center());
        };
        movePointer(form, QPoint(2, 2));
        QCOMPARE(form.pointer().pointerState(), PointerState::Default);
        movePointer(form, centreOf("PushButton5"));
        QCOMPARE(form.pointer().pointerState(), PointerState::Custom);
        const QPoint label = centreOf("Label4");
        movePointer(form, label);
        movePointer(form, label + QPoint(1, 0));
        QCOMPARE(form.pointer().pointerState(), PointerState::Custom);
        // The field beside it is an element of the arrow.
        movePointer(form, centreOf("Text3"));
        QCOMPARE(form.pointer().pointerState(), PointerState::Default);
    }

    // "Next >" loads the set-up window twice on its first press and once on
    // each later one; "< Back" returns with the fields as they were; closing
    // the set-up window ends the event loop.
};

QTEST_MAIN(TestUi)
#include "test_ui.moc"
