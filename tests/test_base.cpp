// The foundations: the error box text, trapped handlers, the application
// title, file checks and the settings file.
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "base/app_title.h"
#include "base/doubling_batch.h"
#include "base/end_program_now.h"
#include "base/error_message.h"
#include "base/event_loop_run_context.h"
#include "base/failure.h"
#include "base/failure_description.h"
#include "base/failure_details.h"
#include "base/file_exists.h"
#include "base/log_file.h"
#include "base/program_files.h"
#include "base/serve_while_waiting.h"
#include "base/settings_store.h"
#include "base/trapped_handler.h"
#include "support/private_home.h"
#include "support/recording_dialogs.h"
#include "support/scoped_environment.h"

// Throws one kind of failure.
using Thrower = void (*)();
Q_DECLARE_METATYPE(Thrower)

// How the worker is asked: what the work does, and what its waits' yields do.
enum class WorkerCase { Returns, Fails, AbandonedMidCall, NestedInAYield, YieldFails };
Q_DECLARE_METATYPE(WorkerCase)
// How the caller parts from work begun ahead.
enum class AheadEnd { Waited, WaitAbandoned, Stopped, Destroyed };
Q_DECLARE_METATYPE(AheadEnd)

Q_LOGGING_CATEGORY(lcTest, "quillmere.test", QtInfoMsg)

// The log handler writes to a file of its own for as long as it lives.
class LogFixture final {
public:
    LogFixture() : m_path(m_dir.filePath(QStringLiteral("state/quillmere/quillmere.log"))) {
        InstallLogFile(m_path);
    }
    ~LogFixture() { UninstallLogFile(); }
    LogFixture(const LogFixture&) = delete;
    LogFixture& operator=(const LogFixture&) = delete;

    const QString& path() const { return m_path; }
    QString text() const {
        QFile file(m_path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

// A context with a window to serve: its yields count, and do what a case
// asks of them.
class ServingContext final : public RunContext {
public:
    void yield() override {
        ++yields;
        if (onYield) onYield();
        if (m_abandoned) throw RunAbandoned{};
    }
    void setProgress(int) override {}
    bool abandoned() const override { return m_abandoned; }
    bool servesWhileWaiting() const override { return true; }
    void abandon() { m_abandoned = true; }

    int yields = 0;
    std::function<void()> onYield;

private:
    bool m_abandoned = false;
};

class TestBase : public QObject {
    Q_OBJECT

public:
    // Before the application object: the program's home is a temporary one.
    static void initMain() { UsePrivateHome(); }

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

        // Own handling: the failure is pending with its details, no error
        // box; the lines after the failing one do not run.
        const std::optional<QString> failed = handler.ownHandling([&] {
            ran << "own 104";
            throw Failure(QStringLiteral("refused"));
            ran << "own after";
        });
        QCOMPARE(failed, QStringLiteral("refused"));
        QCOMPARE(ran.last(), QStringLiteral("own 104"));
        QCOMPARE(dialogs.shown.size(), 3);
        QCOMPARE(handler.ownHandling([] {}), std::nullopt);
        QCOMPARE(dialogs.shown.size(), 3);
    }

    // Closing the window asks the work in flight to stop, once, from a
    // thread of its own (a cancel that hangs must not hang the window's
    // thread); work that stops then ends the wait as any work does,
    // its failure with it. A step failing so is part of the ending: no box,
    // and the handler's later steps are skipped.
    void closingCancelsTheWorkInFlight() {
        // Work given up would end the program under the test: no success.
        const LastWords givenUp([] {
            std::fputs("FAIL! the cancelled work was given up\n", stderr);
            std::_Exit(1);
        });
        EventLoopRunContext context;
        std::mutex mutex;
        std::condition_variable changed;
        bool stop = false;
        int cancels = 0;
        std::thread::id cancelledFrom;
        QTimer::singleShot(50, this, [&] { context.abandon(); });
        RecordingDialogs dialogs;
        TrappedHandler handler(
            LocationText(QStringLiteral("Form2"), QStringLiteral("PushButton2_Click")), dialogs,
            &context);
        bool ranOn = false;
        handler.step(100, [&] {
            ServeWhileWaiting(
                context,
                [&] {
                    std::unique_lock lock(mutex);
                    changed.wait(lock, [&] { return stop; });
                    throw Failure(QStringLiteral("canceling statement due to user request"));
                },
                [&] {
                    ++cancels;
                    cancelledFrom = std::this_thread::get_id();
                    const std::lock_guard lock(mutex);
                    stop = true;
                    changed.notify_all();
                });
        });
        handler.step(102, [&] { ranOn = true; });
        QCOMPARE(cancels, 1);
        QVERIFY(cancelledFrom != std::this_thread::get_id());
        QVERIFY(dialogs.shown.isEmpty());
        QVERIFY(handler.abandoned());
        QVERIFY(!ranOn);
    }

    // The worker runs the work while the calling thread keeps yielding: the
    // work's value comes back, its failure is rethrown, an abandon stops the
    // serving but the work still ends before the wait does, a call made from
    // a yield takes its turn after the call in flight, and what else a
    // yield throws comes out once the work has ended.
    void workerServesWhileWaiting_data() {
        QTest::addColumn<WorkerCase>("workerCase");
        QTest::addColumn<QStringList>("done");  // by the works, in order
        QTest::addColumn<QString>("thrown");    // out of the wait
        QTest::addColumn<bool>("servedOnce");   // one yield, then no more
        QTest::newRow("value returned")
            << WorkerCase::Returns << QStringList{"outer"} << "" << false;
        QTest::newRow("failure rethrown")
            << WorkerCase::Fails << QStringList{"outer"} << "refused" << false;
        QTest::newRow("abandoned mid-call")
            << WorkerCase::AbandonedMidCall << QStringList{"outer"} << "" << true;
        QTest::newRow("call nested in a yield")
            << WorkerCase::NestedInAYield << QStringList{"outer", "inner"} << "" << false;
        QTest::newRow("yield fails otherwise")
            << WorkerCase::YieldFails << QStringList{"outer"} << "yield broke" << true;
    }
    void workerServesWhileWaiting() {
        QFETCH(WorkerCase, workerCase);
        QFETCH(QStringList, done);
        QFETCH(QString, thrown);
        QFETCH(bool, servedOnce);
        ServingContext context;
        std::mutex mutex;
        QStringList finished;
        const auto finish = [&](const char* name) {
            const std::lock_guard lock(mutex);
            finished << QString::fromLatin1(name);
        };
        bool first = true;
        context.onYield = [&] {
            if (!std::exchange(first, false)) return;
            if (workerCase == WorkerCase::AbandonedMidCall) context.abandon();
            if (workerCase == WorkerCase::YieldFails) throw std::runtime_error("yield broke");
            if (workerCase == WorkerCase::NestedInAYield)
                ServeWhileWaiting(context, [&] { finish("inner"); });
        };
        QString caught;
        try {
            ServeWhileWaiting(context, [&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
                finish("outer");
                if (workerCase == WorkerCase::Fails) throw Failure(QStringLiteral("refused"));
            });
        } catch (const Failure& failure) {
            caught = failure.description();
        } catch (const std::exception& failure) {
            caught = QString::fromLatin1(failure.what());
        }
        QCOMPARE(finished, done);
        QCOMPARE(caught, thrown);
        if (servedOnce)
            QCOMPARE(context.yields, 1);
        else
            QVERIFY2(context.yields > 1, qPrintable(QString::number(context.yields)));
    }

    // Work begun ahead runs while the caller goes on: it ends only once the
    // caller, not waiting yet, lets it. Waiting gives its failure; a wait
    // abandoned by a yield, a stop and a destruction each ask the work to
    // stop and return only once it has ended.
    void workAheadRunsBesideTheCaller_data() {
        QTest::addColumn<AheadEnd>("end");
        QTest::addColumn<bool>("fails");
        QTest::addColumn<QString>("thrown");
        QTest::addColumn<bool>("cancelled");
        QTest::newRow("waited") << AheadEnd::Waited << false << "" << false;
        QTest::newRow("waited, work failed") << AheadEnd::Waited << true << "refused" << false;
        QTest::newRow("wait abandoned") << AheadEnd::WaitAbandoned << false << "" << true;
        QTest::newRow("stopped") << AheadEnd::Stopped << true << "" << true;
        QTest::newRow("destroyed") << AheadEnd::Destroyed << false << "" << true;
    }
    void workAheadRunsBesideTheCaller() {
        QFETCH(AheadEnd, end);
        QFETCH(bool, fails);
        QFETCH(QString, thrown);
        QFETCH(bool, cancelled);
        ServingContext context;
        std::mutex mutex;
        std::condition_variable changed;
        bool callerWentOn = false;
        bool cancelAsked = false;
        bool workEnded = false;
        // Ends once the caller went on and, where the caller asks it to stop,
        // only then.
        const auto work = [&] {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return callerWentOn && (!cancelled || cancelAsked); });
            workEnded = true;
            if (fails) throw Failure(QStringLiteral("refused"));
        };
        const auto cancel = [&] {
            const std::lock_guard lock(mutex);
            cancelAsked = true;
            changed.notify_all();
        };
        context.onYield = [&] {
            if (end == AheadEnd::WaitAbandoned) context.abandon();
        };
        QString caught;
        {
            WorkAhead ahead;
            ahead.start(work, cancel);
            QVERIFY(ahead.running());
            {
                const std::lock_guard lock(mutex);
                QVERIFY(!workEnded);
                callerWentOn = true;
                changed.notify_all();
            }
            try {
                if (end == AheadEnd::Waited || end == AheadEnd::WaitAbandoned)
                    ahead.wait(&context);
                else if (end == AheadEnd::Stopped)
                    ahead.stop(&context);
            } catch (const Failure& failure) {
                caught = failure.description();
            }
            if (end != AheadEnd::Destroyed) {
                QVERIFY(!ahead.running());
                const std::lock_guard lock(mutex);
                QVERIFY(workEnded);
            }
        }
        const std::lock_guard lock(mutex);
        QVERIFY(workEnded);
        QCOMPARE(caught, thrown);
        QCOMPARE(cancelAsked, cancelled);
    }

    // Only the thread that serves the window yields to it. A call made on a
    // thread that runs work beside the caller (a handle freed by rows being
    // written) runs there and then, and so does the wait for work begun from
    // there; the caller's own wait serves the window as before.
    void onlyTheWindowsThreadYields_data() {
        QTest::addColumn<bool>("aheadInside");
        QTest::newRow("call to the server") << false;
        QTest::newRow("work begun and stopped") << true;
    }
    void onlyTheWindowsThreadYields() {
        QFETCH(bool, aheadInside);
        ServingContext context;
        const std::thread::id window = std::this_thread::get_id();
        std::atomic<int> yieldsElsewhere = 0;
        context.onYield = [&] {
            if (std::this_thread::get_id() != window) ++yieldsElsewhere;
        };
        const std::function<void()> slow = [] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        };
        std::atomic<bool> insideDone = false;
        WorkAhead ahead;
        ahead.start([&] {
            if (aheadInside) {
                WorkAhead inside;
                inside.start(slow);
                inside.stop(&context);
            } else {
                ServeWhileWaiting(context, slow);
            }
            insideDone = true;
        });
        ahead.wait(&context);
        QVERIFY(insideDone);
        QCOMPARE(yieldsElsewhere.load(), 0);
    }

    // A cancel that never returns, as one waiting on a frozen server, keeps
    // neither the wait nor the program from ending at the context's
    // giveUpAt(), with its exit code.
    void blockedCancelStillEndsTheProgram() {
        std::fflush(nullptr);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            class GivingUp final : public RunContext {
            public:
                void yield() override { throw RunAbandoned{}; }
                void setProgress(int) override {}
                bool abandoned() const override { return true; }
                bool servesWhileWaiting() const override { return true; }
                std::optional<std::chrono::steady_clock::time_point> giveUpAt() const override {
                    return m_at;
                }
                int givenUpExitCode() const override { return 7; }

            private:
                std::chrono::steady_clock::time_point m_at =
                    std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
            } context;
            const auto blockForever = [] {
                for (;;) ::pause();
            };
            WorkAhead ahead;
            ahead.start(blockForever, blockForever);
            ahead.wait(&context);
            ::_exit(0);
        }
        int status = 0;
        QElapsedTimer clock;
        clock.start();
        pid_t ended = 0;
        while ((ended = ::waitpid(child, &status, WNOHANG)) == 0 && clock.elapsed() < 5000)
            QThread::msleep(10);
        if (ended == 0) ::kill(child, SIGKILL);
        QCOMPARE(ended, child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 7);
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

    // A box that reports a failure gives it in full behind its text, with the
    // log file's path while a log is written; a kind of failure with codes of
    // its own adds them.
    void failureDetails_data() {
        QTest::addColumn<Thrower>("fail");
        QTest::addColumn<bool>("logged");
        QTest::addColumn<QString>("details");  // before the log file's line
        const Thrower refused = [] { throw Failure(QStringLiteral("refused\n")); };
        QTest::newRow("failure, no log") << refused << false << "refused";
        QTest::newRow("failure, logged") << refused << true << "refused";
        QTest::newRow("coded failure") << Thrower([] {
            class CodedFailure final : public Failure {
            public:
                using Failure::Failure;
                QString details() const override { return "code 7: " + description(); }
            };
            throw CodedFailure(QStringLiteral("refused"));
        }) << true << "code 7: refused";
        QTest::newRow("out of memory")
            << Thrower([] { throw std::bad_alloc(); }) << true << "Out of memory";
        QTest::newRow("other exception")
            << Thrower([] { throw std::runtime_error("disk full"); }) << true << "disk full";
    }
    void failureDetails() {
        QFETCH(Thrower, fail);
        QFETCH(bool, logged);
        QFETCH(QString, details);
        std::optional<LogFixture> log;
        if (logged) log.emplace();
        const QString expected =
            logged ? details + QStringLiteral("\n\nLog file: ") + log->path() : details;
        try {
            fail();
            QFAIL("no failure");
        } catch (const std::exception& error) {
            QCOMPARE(FailureDetails(error), expected);
        }
        // The error box of a handler, and its own handling.
        RecordingDialogs dialogs;
        TrappedHandler handler(QStringLiteral("in test "), dialogs);
        handler.step(100, fail);
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].details, expected);
        QCOMPARE(handler.ownHandling(fail), expected);
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

    // XDG_STATE_HOME counts only as an absolute path; without one, HOME must
    // be one, or there is no log rather than one at the root.
    void logFilePath_data() {
        QTest::addColumn<QByteArray>("stateHome");  // null: unset
        QTest::addColumn<QByteArray>("home");
        QTest::addColumn<QString>("expected");
        const QString set = QStringLiteral("/var/tmp/state/quillmere/quillmere.log");
        const QString inHome = QStringLiteral("/home/u/.local/state/quillmere/quillmere.log");
        QTest::newRow("set") << QByteArray("/var/tmp/state") << QByteArray("/home/u") << set;
        QTest::newRow("empty") << QByteArray("") << QByteArray("/home/u") << inHome;
        QTest::newRow("unset") << QByteArray() << QByteArray("/home/u") << inHome;
        QTest::newRow("relative") << QByteArray("state") << QByteArray("/home/u") << inHome;
        QTest::newRow("set, HOME unset") << QByteArray("/var/tmp/state") << QByteArray() << set;
        QTest::newRow("HOME unset") << QByteArray() << QByteArray() << QString();
        QTest::newRow("HOME empty") << QByteArray() << QByteArray("") << QString();
        QTest::newRow("HOME relative") << QByteArray("state") << QByteArray("u") << QString();
    }
    void logFilePath() {
        QFETCH(QByteArray, stateHome);
        QFETCH(QByteArray, home);
        QFETCH(QString, expected);
        const ScopedEnvironment environment{{"XDG_STATE_HOME", stateHome}, {"HOME", home}};
        QCOMPARE(LogFilePath(), expected);
    }

    // Whatever another user (or a mistake) put at the log's path is never
    // written, made or narrowed: only a regular file of the user's own with
    // no other name is a log. Messages are lost, never the program.
    void logRefusesWhatIsPlanted_data() {
        QTest::addColumn<QString>("planted");
        QTest::newRow("symbolic link to a file") << "link";
        QTest::newRow("dangling symbolic link") << "dangling link";
        QTest::newRow("symbolic link at the folder") << "folder link";
        QTest::newRow("second name of a file") << "hard link";
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("file of another user") << "other owner";
    }
    void logRefusesWhatIsPlanted() {
        QFETCH(QString, planted);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("state"));
        const QString path = folder + QStringLiteral("/quillmere.log");
        const QString target = dir.filePath(QStringLiteral("target"));
        QVERIFY(QDir().mkpath(folder));
        const auto encoded = [](const QString& name) { return QFile::encodeName(name); };
        const auto makeTarget = [&](const QString& file) {
            QFile made(file);
            QVERIFY(made.open(QIODevice::WriteOnly));
            made.write("precious\n");
            made.close();
            QVERIFY(::chmod(encoded(file).constData(), 0644) == 0);
        };
        if (planted == QStringLiteral("link")) {
            makeTarget(target);
            QVERIFY(QFile::link(target, path));
        } else if (planted == QStringLiteral("dangling link")) {
            QVERIFY(QFile::link(target, path));
        } else if (planted == QStringLiteral("folder link")) {
            QVERIFY(QDir(folder).removeRecursively());
            QVERIFY(QDir().mkpath(target));
            QVERIFY(QFile::link(target, folder));
        } else if (planted == QStringLiteral("hard link")) {
            makeTarget(target);
            QVERIFY(::link(encoded(target).constData(), encoded(path).constData()) == 0);
        } else if (planted == QStringLiteral("fifo")) {
            QVERIFY(::mkfifo(encoded(path).constData(), 0644) == 0);
        } else if (planted == QStringLiteral("other owner")) {
            makeTarget(path);
            if (::chown(encoded(path).constData(), 65534, 65534) != 0)
                QSKIP("only root can give a file to another user");
        }
        InstallLogFile(path);
        qCWarning(lcTest) << "not for this file";
        UninstallLogFile();

        if (planted == QStringLiteral("dangling link") || planted == QStringLiteral("fifo")) {
            QVERIFY(!QFileInfo::exists(target));
            QCOMPARE(QFileInfo(path).size(), 0);
        } else if (planted == QStringLiteral("folder link")) {
            QCOMPARE(QDir(target).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                     QStringList());
        } else {
            const QString file = planted == QStringLiteral("other owner") ? path : target;
            QFile written(file);
            QVERIFY(written.open(QIODevice::ReadOnly));
            QCOMPARE(written.readAll(), QByteArray("precious\n"));
            QCOMPARE(fileMode(file), 0644);
        }
    }

    // Critical and fatal messages reach stderr also when it is no terminal
    // (a start from cron), each line whole though signals interrupt its
    // write; other levels stay in the file.
    void criticalReachesStderrWhole() {
        QTemporaryDir dir;
        int ends[2];
        QVERIFY(::pipe(ends) == 0);
        const int savedStderr = ::dup(STDERR_FILENO);
        QVERIFY(::dup2(ends[1], STDERR_FILENO) >= 0);
        ::close(ends[1]);
        struct sigaction interrupting {
        }, saved{};
        interrupting.sa_handler = [](int) {};
        ::sigemptyset(&interrupting.sa_mask);
        interrupting.sa_flags = 0;  // no SA_RESTART: a blocked write returns early
        ::sigaction(SIGUSR1, &interrupting, &saved);
        InstallLogFile(dir.filePath(QStringLiteral("quillmere.log")));

        // The pipe fills at once: the write blocks, is interrupted over and
        // over, and goes on only as the reader takes a little at a time.
        std::atomic<bool> written = false;
        QByteArray received;
        const pthread_t writer = ::pthread_self();
        std::thread reader([&] {
            ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
            char buffer[4096];
            for (;;) {
                const bool done = written;
                for (int i = 0; i < 3 && !done; ++i) {
                    ::pthread_kill(writer, SIGUSR1);
                    ::usleep(100);
                }
                const ssize_t got = ::read(ends[0], buffer, sizeof buffer);
                if (got > 0) received.append(buffer, got);
                if (got <= 0 && done) break;
            }
        });
        const QString longText(300 * 1024, QLatin1Char('c'));
        qCWarning(lcTest) << "warning for the file only";
        qCCritical(lcTest).noquote() << longText + QStringLiteral("end");
        written = true;
        reader.join();

        UninstallLogFile();
        ::sigaction(SIGUSR1, &saved, nullptr);
        ::dup2(savedStderr, STDERR_FILENO);
        ::close(savedStderr);
        ::close(ends[0]);
        QVERIFY(received.contains(" critical quillmere.test: " + longText.toLatin1() + "end\n"));
        QVERIFY(!received.contains("warning for the file only"));
        QFile file(dir.filePath(QStringLiteral("quillmere.log")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains("warning for the file only"));
        QVERIFY(text.contains(longText.toLatin1() + "end\n"));
    }

    // A message sent while the program's statics are destroyed, after the
    // log's own state is gone, goes to Qt's own handler (stderr), not to a
    // destroyed lock and a closed file.
    void messageAfterTheLogsEnd() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("quillmere.log"));
        QProcess probe;
        probe.start(QStringLiteral(QM_LOG_PROBE), {path});
        QVERIFY(probe.waitForFinished(20000));
        QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
        QCOMPARE(probe.exitCode(), 0);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY2(text.contains("while the program runs"), text.constData());
        QVERIFY2(!text.contains("while statics are destroyed"), text.constData());
        QVERIFY(probe.readAllStandardError().contains("while statics are destroyed"));
    }

    // Messages of every level that the rules let through reach the file,
    // which is its owner's alone; the rules keep the others out.
    void logFileHoldsMessagesOwnerOnly() {
        LogFixture log;
        qCWarning(lcTest) << "first warning";
        qCWarning(lcTest).noquote() << "driver text ending in a line break\n";
        qCInfo(lcTest) << "some info";
        qCDebug(lcTest) << "hidden debug";
        QLoggingCategory::setFilterRules(QStringLiteral("quillmere.test.warning=false"));
        qCWarning(lcTest) << "filtered warning";
        QLoggingCategory::setFilterRules(QString());
        const QString text = log.text();
        QVERIFY2(text.contains(QStringLiteral(" warning quillmere.test: first warning\n")),
                 qPrintable(text));
        QVERIFY(text.contains(QStringLiteral(" info quillmere.test: some info\n")));
        QVERIFY(text.contains(QStringLiteral("ending in a line break\n20")));
        QVERIFY(!text.contains(QStringLiteral("hidden debug")));
        QVERIFY(!text.contains(QStringLiteral("filtered warning")));
        QCOMPARE(fileMode(log.path()), 0600);
        QCOMPARE(fileMode(QFileInfo(log.path()).absolutePath()), 0700);
    }

    void logFileNarrowedWhenWider() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("quillmere.log"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("older line\n");
        file.close();
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ReadGroup | QFileDevice::ReadOther);
        InstallLogFile(path);
        qCWarning(lcTest) << "newer line";
        UninstallLogFile();
        QCOMPARE(fileMode(path), 0600);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.startsWith("older line\n"));
        QVERIFY(text.contains("newer line"));
    }

    // Past the limit the file becomes ".1", replacing an older one; the new
    // file begins empty.
    void logFileRotated() {
        LogFixture log;
        const QString old = log.path() + QStringLiteral(".1");
        const QString line(1000, QLatin1Char('x'));
        // Writes until the current file is begun anew.
        const auto fillUntilRotated = [&] {
            qint64 last = QFileInfo(log.path()).size();
            for (;;) {
                qCWarning(lcTest).noquote() << line;
                const qint64 now = QFileInfo(log.path()).size();
                if (now < last) return;
                last = now;
            }
        };
        const auto oldText = [&] {
            QFile file(old);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        qCWarning(lcTest) << "round one";
        fillUntilRotated();
        QVERIFY(QFileInfo(old).size() > LogRotateBytes);
        QVERIFY(QFileInfo(old).size() < LogRotateBytes + 1100);
        QVERIFY(oldText().contains("round one"));
        QCOMPARE(QFileInfo(log.path()).size(), 0);
        qCWarning(lcTest) << "round two";
        fillUntilRotated();
        QVERIFY(oldText().contains("round two"));
        QVERIFY(!oldText().contains("round one"));
        QCOMPARE(fileMode(log.path()), 0600);
        QCOMPARE(fileMode(old), 0600);
        QCOMPARE(QDir(QFileInfo(log.path()).absolutePath()).entryList(QDir::Files).size(), 2);
    }

    // Every error box's full text reaches the log before the box opens.
    void errorBoxLogged() {
        LogFixture log;
        RecordingDialogs dialogs;
        TrappedHandler handler(
            LocationText(QStringLiteral("Form2"), QStringLiteral("PushButton2_Click")), dialogs);
        handler.step(124, [] { throw Failure(QStringLiteral("ORA-00942: table does not exist")); });
        const QString text = log.text();
        QVERIFY2(text.contains(QStringLiteral("quillmere.base: error box: ORA-00942: table does "
                                              "not exist\n    in Brisvane2018/12/22.Form2."
                                              "PushButton2_Click at line 124\n    \n    Please "
                                              "email screenshot of this message to ")),
                 qPrintable(text));
    }

    // Installed is a "bin" folder with "../share/quillmere" beside it; files
    // are found beside the program first, then in that shared folder.
    void programFiles() {
        QTemporaryDir root;
        const QString bin = root.filePath(QStringLiteral("usr/bin"));
        const QString share = root.filePath(QStringLiteral("usr/share/quillmere"));
        const QString build = root.filePath(QStringLiteral("build/src"));
        const QString lone = root.filePath(QStringLiteral("opt/bin"));
        for (const QString& folder : {bin, share, build, lone}) QVERIFY(QDir().mkpath(folder));
        QVERIFY(ProgramInstalled(bin));
        QVERIFY(ProgramInstalled(bin + QLatin1Char('/')));
        QVERIFY(!ProgramInstalled(build));
        QVERIFY(!ProgramInstalled(lone));
        QVERIFY(!ProgramInstalled(QString()));

        const QString name = QStringLiteral("HAND-M.CUR");
        QCOMPARE(ProgramFilePath(bin, name), bin + QLatin1Char('/') + name);
        QFile shared(share + QLatin1Char('/') + name);
        QVERIFY(shared.open(QIODevice::WriteOnly));
        shared.close();
        QCOMPARE(QFileInfo(ProgramFilePath(bin, name)).canonicalFilePath(),
                 QFileInfo(shared.fileName()).canonicalFilePath());
        QFile own(bin + QLatin1Char('/') + name);
        QVERIFY(own.open(QIODevice::WriteOnly));
        own.close();
        QCOMPARE(ProgramFilePath(bin, name), own.fileName());
        QCOMPARE(ProgramFilePath(build, name), build + QLatin1Char('/') + name);
    }
};

QTEST_MAIN(TestBase)
#include "test_base.moc"
