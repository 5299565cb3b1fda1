// The foundations: the error box text, trapped handlers, the application
// title, file checks and the settings file.
#include <sys/stat.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "base/app_title.h"
#include "base/doubling_batch.h"
#include "base/error_message.h"
#include "base/event_loop_run_context.h"
#include "base/failure.h"
#include "base/file_exists.h"
#include "base/settings_store.h"
#include "base/trapped_handler.h"
#include "support/recording_dialogs.h"

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

    // The sizes a batch goes through: from its first size, doubling while
    // quick, halving when slow or failed, never past its bounds.
    void doublingBatch_data() {
        QTest::addColumn<QList<qint64>>("bounds");  // smallest, first, largest
        QTest::addColumn<QStringList>("events");    // a time in ms, or "failed"
        QTest::addColumn<QList<qint64>>("sizes");   // rows() before and after each event
        QTest::newRow("doubles while quick, up to the largest")
            << QList<qint64>{2, 2, 16} << QStringList{"1", "10", "49", "0", "0"}
            << QList<qint64>{2, 4, 8, 16, 16, 16};
        QTest::newRow("keeps its size between quick and slow")
            << QList<qint64>{1, 8, 64} << QStringList{"50", "100", "75"}
            << QList<qint64>{8, 8, 8, 8};
        QTest::newRow("halves when slow, never below the smallest")
            << QList<qint64>{2, 16, 1024} << QStringList{"101", "500", "5000", "5000"}
            << QList<qint64>{16, 8, 4, 2, 2};
        QTest::newRow("halves on a failure, never below the smallest")
            << QList<qint64>{2, 8, 1024} << QStringList{"failed", "failed", "failed", "1"}
            << QList<qint64>{8, 4, 2, 2, 4};
        QTest::newRow("one row at least")
            << QList<qint64>{0, 0, 0} << QStringList{"failed", "1"} << QList<qint64>{1, 1, 1};
        QTest::newRow("a first row alone, then never below the smallest")
            << QList<qint64>{2, 1, 4} << QStringList{"1", "1", "failed", "failed"}
            << QList<qint64>{1, 2, 4, 2, 2};
        QTest::newRow("first size no larger than the largest")
            << QList<qint64>{1, 64, 8} << QStringList{"failed"} << QList<qint64>{8, 4};
    }
    void doublingBatch() {
        QFETCH(QList<qint64>, bounds);
        QFETCH(QStringList, events);
        QFETCH(QList<qint64>, sizes);
        DoublingBatch batch({bounds[0], bounds[1], bounds[2], 50, 100});
        QList<qint64> seen{batch.rows()};
        for (const QString& event : events) {
            if (event == QStringLiteral("failed"))
                batch.failed();
            else
                batch.took(event.toLongLong());
            seen << batch.rows();
        }
        QCOMPARE(seen, sizes);
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

    // The start-up puts the saved login back and tries it only when complete.
};

QTEST_MAIN(TestBase)
#include "test_base.moc"
