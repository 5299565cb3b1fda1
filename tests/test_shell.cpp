// The application shell: the error box and trapped handlers, the application
// title, file tests, the settings store and the login window's start-up.
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

#include <QEnterEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "oracle/form1.h"
#include "setup_window/form2.h"
#include "shell/pointer_image.h"
#include "shell/app_title.h"
#include "shell/error_message.h"
#include "shell/failure.h"
#include "shell/file_exists.h"
#include "shell/settings_store.h"
#include "shell/trapped_handler.h"
#include "shell/window_flow.h"
#include "support/recording_dialogs.h"
#include "support/standin.h"

class TestShell : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_settingsDir;

    // The settings file's mode bits, as the file system holds them.
    static int fileMode(const QString& path) {
        struct stat info {};
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
    }

    QString settingsText() {
        QFile file(SettingsStore::fileName());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private slots:
    // Every case starts with no saved settings.
    void init() {
        m_settingsDir = std::make_unique<QTemporaryDir>();
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir->path());
    }

    void errorMessage() {
        const QString location = LocationText(QStringLiteral("Form1"), QStringLiteral("Form_Load"));
        QCOMPARE(location, QStringLiteral("in Brisvane2018/12/22.Form1.Form_Load "));
        QCOMPARE(ErrorMessage(QStringLiteral("Disk full"), location, 126),
                 QStringLiteral("Disk full\r\nin Brisvane2018/12/22.Form1.Form_Load at line 126\r\r"
                                "Please email screenshot of this message to support@varnholt.example"));
        QVERIFY(ErrorMessage(QString(), location, 100).startsWith(QStringLiteral("\r\nin Brisvane")));
    }

    // Failures are reported at their own line and the handler goes on; a
    // failed if-test runs what it guards.
    void trappedHandler() {
        RecordingDialogs dialogs;
        QStringList ran;
        TrappedHandler handler(LocationText(QStringLiteral("Form2"), QStringLiteral("PushButton2_Click")), dialogs);
        handler.step(100, [&] { ran << "100"; });
        handler.step(102, [&] {
            ran << "102";
            throw Failure(QStringLiteral("first"));
            ran << "after";
        });
        if (handler.test(104, []() -> bool { throw std::runtime_error("second"); })) handler.step(106, [&] { ran << "106"; });
        if (handler.test(108, [] { return false; })) ran << "110";
        handler.step(112, [&] { throw Failure(QString()); });
        QCOMPARE(ran, (QStringList{"100", "102", "106"}));
        const auto boxes = dialogs.errorBoxes();
        QCOMPARE(boxes.size(), 3);
        QVERIFY(boxes[0].text.startsWith(QStringLiteral("first\r\nin Brisvane2018/12/22.Form2.PushButton2_Click at line 102\r\r")));
        QVERIFY(boxes[1].text.startsWith(QStringLiteral("second\r\nin Brisvane2018/12/22.Form2.PushButton2_Click at line 104")));
        QVERIFY(boxes[2].text.startsWith(QStringLiteral("\r\nin Brisvane")));
        QVERIFY(boxes[2].text.contains(QStringLiteral("at line 112\r\r")));
        for (const auto& box : boxes) QCOMPARE(box.icon, Dialogs::Icon::Warning);

        // Own handling: the failure is pending, no error box.
        const bool failed = handler.ownHandling([&] {
            handler.setLine(104);
            throw Failure(QStringLiteral("refused"));
        });
        QVERIFY(failed);
        QCOMPARE(handler.line(), 104);
        QCOMPARE(dialogs.errorBoxes().size(), 3);
    }

    void appTitle_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("title");
        QTest::newRow("product title") << "Quillmere Software" << "Quillmere";
        QTest::newRow("three words") << "Quillmere Table Joiner" << "Quillmere Table";
        QTest::newRow("no blank") << "Quillmere" << "Quillmere";
        QTest::newRow("over 40") << "Alpha Beta Gamma Delta Epsilon Zeta Eta Theta Iota"
                                 << "Alpha Beta Gamma Delta Epsilon Zeta Eta";
        QTest::newRow("one long word") << QString(50, QLatin1Char('x')) << QString(50, QLatin1Char('x'));
        QTest::newRow("long word after blank") << QStringLiteral("ab ") + QString(50, QLatin1Char('x')) << "ab";
    }
    void appTitle() {
        QFETCH(QString, product);
        QFETCH(QString, title);
        QCOMPARE(AppTitleFor(product), title);
        SetAppTitle();
        QCOMPARE(AppTitle(), QStringLiteral("Quillmere"));
    }

    void fileExists() {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("HAND-M.CUR")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(FileExists(file.fileName()));
        QVERIFY(!FileExists(dir.filePath(QStringLiteral("missing.cur"))));
        QVERIFY(!FileExists(dir.filePath(QStringLiteral("no/such/folder/HAND-M.CUR"))));
        QVERIFY(!FileExists(QString()));
    }

    void settingsWrittenAtEveryChange() {
        RecordingDialogs dialogs;
        Form1 form(dialogs);
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
        QCOMPARE(SettingsStore::read(SettingsStore::OraclePassword(), QStringLiteral("missing")), QString());
        QCOMPARE(SettingsStore::read(SettingsStore::OracleUser()), QStringLiteral(" Zoë ;=x "));
        QCOMPARE(fileMode(SettingsStore::fileName()), 0600);
    }

    void settingsFileNarrowedWhenWider() {
        const QString path = SettingsStore::fileName();
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther |
                                        QFileDevice::ReadGroup);
        SettingsStore::write(SettingsStore::OraclePassword(), QStringLiteral("secret"));
        QCOMPARE(fileMode(path), 0600);
    }

    // The start-up puts the saved login back and tries it only when complete.
    void startUp_data() {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<bool>("loginShown");
        QTest::newRow("nothing saved") << "none" << true;
        QTest::newRow("empty password") << "nopassword" << true;
        QTest::newRow("refused login") << "wrong" << true;
        QTest::newRow("working login") << "working" << false;
    }
    void startUp() {
        QFETCH(QString, saved);
        QFETCH(bool, loginShown);
        standin::Login owner;
        if (saved != QStringLiteral("none")) {
            SettingsStore::write(SettingsStore::OracleSID(), owner.login().sid);
            SettingsStore::write(SettingsStore::OracleUser(), owner.name());
            SettingsStore::write(SettingsStore::OraclePassword(),
                                 saved == QStringLiteral("nopassword") ? QString()
                                 : saved == QStringLiteral("wrong")    ? QStringLiteral("wrong")
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
        QVERIFY(dialogs.shown.front().text.contains(QStringLiteral("Form1.Form_Load at line 126\r\r")));
        QCOMPARE(flow.loginWindow().login().user, QStringLiteral("kept"));
    }

    // The pointer state as the pointer reaches each kind of element.
    void pointerRule_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("element");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        const int arrow = int(PointerState::Default), hourglass = int(PointerState::Hourglass),
                  own = int(PointerState::Custom);
        QTest::newRow("button") << "Form1" << "PushButton5" << arrow << own;
        QTest::newRow("button in frame 2") << "Form1" << "PushButton4" << arrow << own;
        QTest::newRow("background") << "Form1" << "Form1" << own << arrow;
        QTest::newRow("frame") << "Form1" << "Frame2" << own << arrow;
        QTest::newRow("field") << "Form1" << "Text3" << own << arrow;
        QTest::newRow("label keeps own image") << "Form1" << "Label2" << own << own;
        QTest::newRow("label keeps arrow") << "Form1" << "Label1" << arrow << arrow;
        QTest::newRow("hourglass over button") << "Form1" << "PushButton3" << hourglass << hourglass;
        QTest::newRow("hourglass over field") << "Form1" << "Text1" << hourglass << hourglass;
        QTest::newRow("hourglass over background") << "Form1" << "Form1" << hourglass << hourglass;
        QTest::newRow("set-up: Start Joining") << "Form2" << "PushButton2" << arrow << own;
        QTest::newRow("set-up: table list") << "Form2" << "List3" << own << arrow;
        QTest::newRow("set-up: options frame") << "Form2" << "Frame2" << own << arrow;
        QTest::newRow("set-up: field list keeps") << "Form2" << "List2" << own << own;
        QTest::newRow("set-up: suffix keeps") << "Form2" << "Text1" << own << own;
        QTest::newRow("set-up: progress keeps") << "Form2" << "ProgressBar1" << arrow << arrow;
        QTest::newRow("set-up: hourglass over list") << "Form2" << "List1" << hourglass << hourglass;
    }
    void pointerRule() {
        QFETCH(QString, window);
        QFETCH(QString, element);
        QFETCH(int, before);
        QFETCH(int, after);
        RecordingDialogs dialogs;
        QTemporaryDir programFolder;
        Form1 form1(dialogs);
        Form2 form2(programFolder.path(), dialogs, [] { return OracleLogin{}; });
        QWidget& form = window == "Form1" ? static_cast<QWidget&>(form1) : form2;
        WidgetPointer& pointer = window == "Form1" ? form1.pointer() : form2.pointer();
        pointer.setImage(LoadPointerImage(QStringLiteral(QM_SOURCE_DIR "/src/shell/resources/HAND-M.CUR")));
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

    // The skin: absent, present, or there but unreadable.
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
            QVERIFY(dialogs.shown.front().text.contains("\r\nin Brisvane2018/12/22.Form1.Form_Load at line 100\r\r"));
        // The rest of the load went on.
        QCOMPARE(form.windowTitle(), QStringLiteral("Quillmere Software"));
        QCOMPARE(form.login().user, QStringLiteral("kept"));
    }

    // Both windows rendered to PNG files beside the tests for a person to look
    // at, and every control where its twips put it, within one pixel.
    void windowsAtTheirTwips() {
        struct Control {
            const char* window;
            const char* name;
            int left, top, width, height;  // twips; no size for a label sized to its text
        };
        const Control controls[] = {
            {"Form1", "Frame1", 120, 120, 7800, 2415},      {"Form1", "Label2", 240, 405, 1095, 255},
            {"Form1", "Text1", 1320, 360, 5535, 345},       {"Form1", "PushButton1", 6960, 360, 615, 345},
            {"Form1", "Label1", 240, 885, 1095, 255},       {"Form1", "Text2", 1320, 840, 6255, 345},
            {"Form1", "Label4", 240, 1365, 1095, 255},      {"Form1", "Text3", 1320, 1320, 6255, 345},
            {"Form1", "PushButton5", 240, 1800, 3600, 405}, {"Form1", "PushButton6", 3960, 1800, 3600, 405},
            {"Form1", "Frame2", 120, 2600, 7800, 855},      {"Form1", "PushButton4", 240, 300, 7300, 405},
            {"Form1", "PushButton3", 120, 3580, 7800, 405},
            {"Form2", "Frame3", 120, 120, 6120, 2055},      {"Form2", "Label1", 240, 300, 0, 0},
            {"Form2", "List1", 240, 600, 2730, 1185},       {"Form2", "Label2", 3120, 300, 0, 0},
            {"Form2", "List2", 3120, 600, 2730, 1185},      {"Form2", "Frame1", 120, 2200, 6120, 2055},
            {"Form2", "Label3", 240, 300, 0, 0},            {"Form2", "List3", 240, 600, 2730, 1185},
            {"Form2", "Label4", 3120, 300, 0, 0},           {"Form2", "List4", 3120, 600, 2730, 1185},
            {"Form2", "Frame2", 120, 4300, 6120, 855},      {"Form2", "Label5", 240, 360, 0, 0},
            {"Form2", "Text1", 5040, 330, 855, 330},        {"Form2", "PushButton5", 120, 5250, 1680, 405},
            {"Form2", "PushButton2", 1920, 5250, 4320, 405}, {"Form2", "ProgressBar1", 120, 5760, 6120, 405},
        };
        RecordingDialogs dialogs;
        QTemporaryDir programFolder;
        Form1 form1(dialogs);
        Form2 form2(programFolder.path(), dialogs, [] { return OracleLogin{}; });
        QCOMPARE(form1.size(), QSize(536, 274));
        QCOMPARE(form2.size(), QSize(424, 419));
        const auto near = [](double twips, int pixels) { return std::abs(twips / 15.0 - pixels) <= 1.0; };
        for (const Control& control : controls) {
            QWidget* window = QString::fromLatin1(control.window) == "Form1" ? static_cast<QWidget*>(&form1) : &form2;
            auto* widget = window->findChild<QWidget*>(QString::fromLatin1(control.name));
            QVERIFY2(widget, control.name);
            const QRect r = widget->geometry();
            const QString where = QStringLiteral("%1.%2 at %3,%4 %5x%6")
                                      .arg(control.window, control.name)
                                      .arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
            QVERIFY2(near(control.left, r.x()) && near(control.top, r.y()), qPrintable(where));
            if (control.width)
                QVERIFY2(near(control.left + control.width, r.x() + r.width()) &&
                             near(control.top + control.height, r.y() + r.height()),
                         qPrintable(where));
            else
                QVERIFY2(r.right() < widget->parentWidget()->width(), qPrintable(where));  // inside its frame
        }
        QVERIFY(form1.grab().save(QStringLiteral("Form1.png")));
        QVERIFY(form2.grab().save(QStringLiteral("Form2.png")));
    }
};

QTEST_MAIN(TestShell)
#include "test_shell.moc"
