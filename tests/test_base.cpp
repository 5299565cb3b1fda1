// The foundations: the error box text, trapped handlers, the application
// title, file checks and the settings file.
#include <sys/stat.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "base/app_title.h"
#include "base/error_message.h"
#include "base/event_loop_run_context.h"
#include "base/failure.h"
#include "base/failure_description.h"
#include "base/file_exists.h"
#include "base/settings_store.h"
#include "base/trapped_handler.h"
#include "support/recording_dialogs.h"

// Throws one kind of failure.
using Thrower = void (*)();
Q_DECLARE_METATYPE(Thrower)

class TestBase : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_settingsDir;

    // A file's mode bits, as the file system holds them.
    static int fileMode(const QString& path) {
        struct stat info {};
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777)
                                                                       : -1;
    }

private slots:
    // Every case starts with no saved settings.
    void init() {
        m_settingsDir = std::make_unique<QTemporaryDir>();
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir->path());
        SetAppTitle();
    }
    void errorMessage() {
        const QString location = LocationText(QStringLiteral("Form1"), QStringLiteral("Form_Load"));
        QCOMPARE(location, QStringLiteral("in Brisvane2018/12/22.Form1.Form_Load "));
        QCOMPARE(
            ErrorMessage(QStringLiteral("Disk full"), location, 126),
            QStringLiteral("Disk full\r\nin Brisvane2018/12/22.Form1.Form_Load at line 126\r\r"
                           "Please email screenshot of this message to support@varnholt.example"));
        QVERIFY(
            ErrorMessage(QString(), location, 100).startsWith(QStringLiteral("\r\nin Brisvane")));
    }

    // Failures are reported at their own line and the handler goes on; a
    // failed if-test runs what it guards.
    void trappedHandler() {
        RecordingDialogs dialogs;
        QStringList ran;
        TrappedHandler handler(
            LocationText(QStringLiteral("Form2"), QStringLiteral("PushButton2_Click")), dialogs);
        handler.step(100, [&] { ran << "100"; });
        handler.step(102, [&] {
            ran << "102";
            throw Failure(QStringLiteral("first"));
            ran << "after";
        });
        if (handler.test(104, []() -> bool { throw std::runtime_error("second"); }))
            handler.step(106, [&] { ran << "106"; });
        if (handler.test(108, [] { return false; })) ran << "110";
        handler.step(112, [&] { throw Failure(QString()); });
        QCOMPARE(ran, (QStringList{"100", "102", "106"}));
        const auto boxes = dialogs.errorBoxes();
        QCOMPARE(boxes.size(), 3);
        QVERIFY(boxes[0].text.startsWith(QStringLiteral(
            "first\r\nin Brisvane2018/12/22.Form2.PushButton2_Click at line 102\r\r")));
        QVERIFY(boxes[1].text.startsWith(
            QStringLiteral("second\r\nin Brisvane2018/12/22.Form2.PushButton2_Click at line 104")));
        QVERIFY(boxes[2].text.startsWith(QStringLiteral("\r\nin Brisvane")));
        QVERIFY(boxes[2].text.contains(QStringLiteral("at line 112\r\r")));
        for (const auto& box : boxes) QCOMPARE(box.icon, Dialogs::Icon::Warning);

        // Own handling: the failure is pending, no error box; the lines
        // after the failing one do not run.
        const bool failed = handler.ownHandling([&] {
            handler.setLine(104);
            ran << "own 104";
            throw Failure(QStringLiteral("refused"));
            ran << "own after";
        });
        QVERIFY(failed);
        QCOMPARE(ran.last(), QStringLiteral("own 104"));
        QCOMPARE(dialogs.shown.size(), 3);
        QVERIFY(!handler.ownHandling([&] { handler.setLine(106); }));
        QCOMPARE(dialogs.shown.size(), 3);
    }

    // The user reads the driver's or platform's own words; memory that ran out
    // is named, not described by the runtime.
    void failureDescription_data() {
        QTest::addColumn<Thrower>("fail");
        QTest::addColumn<QString>("description");
        QTest::newRow("failure") << Thrower([] {
            throw Failure(QStringLiteral("ORA-01017: invalid username/password"));
        }) << "ORA-01017: invalid username/password";
        QTest::newRow("out of memory")
            << Thrower([] { throw std::bad_alloc(); }) << "Out of memory";
        QTest::newRow("other exception")
            << Thrower([] { throw std::runtime_error("disk full"); }) << "disk full";
    }
    void failureDescription() {
        QFETCH(Thrower, fail);
        QFETCH(QString, description);
        try {
            fail();
            QFAIL("no failure");
        } catch (const std::exception& error) {
            QCOMPARE(FailureDescription(error), description);
        }
        // A handler's error box starts with the same text.
        RecordingDialogs dialogs;
        TrappedHandler(QStringLiteral("in test "), dialogs).step(100, fail);
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY(dialogs.shown[0].text.startsWith(description + "\r\nin test at line 100"));
    }

    void appTitle_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("title");
        QTest::newRow("product title") << "Quillmere Software"
                                       << "Quillmere";
        QTest::newRow("three words") << "Quillmere Table Joiner"
                                     << "Quillmere Table";
        QTest::newRow("no blank") << "Quillmere"
                                  << "Quillmere";
        QTest::newRow("over 40") << "Alpha Beta Gamma Delta Epsilon Zeta Eta Theta Iota"
                                 << "Alpha Beta Gamma Delta Epsilon Zeta Eta";
        QTest::newRow("one long word")
            << QString(50, QLatin1Char('x')) << QString(50, QLatin1Char('x'));
        QTest::newRow("long word after blank")
            << QStringLiteral("ab ") + QString(50, QLatin1Char('x')) << "ab";
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

    void settingsFileNarrowedWhenWider() {
        const QString path = SettingsStore::fileName();
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ReadOther | QFileDevice::ReadGroup);
        SettingsStore::write(SettingsStore::OraclePassword(), QStringLiteral("secret"));
        QCOMPARE(fileMode(path), 0600);
    }
};

QTEST_MAIN(TestBase)
#include "test_base.moc"
