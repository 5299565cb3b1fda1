// The staging database and the copy of an Oracle table into it, against the
// stand-in server and a real staging file in a program folder of each case's own.
#include <sys/stat.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "base/event_loop_run_context.h"
#include "base/failure.h"
#include "base/run_context.h"
#include "db/connection.h"
#include "db/db_error.h"
#include "db/quoted_names.h"
#include "join/copy_oracle_table.h"
#include "join/drop_staging_table.h"
#include "join/make_column_varchar.h"
#include "join/open_staging_database.h"
#include "join/restrict_staging_file.h"
#include "join/staging_database_path.h"
#include "join/staging_table_exists.h"
#include "oracle/oracle_connection_string.h"
#include "support/scoped_environment.h"
#include "support/standin.h"

namespace {

using Rows = QList<QStringList>;

// A program folder of the case's own, with the staging file's path in it.
struct ProgramFolder {
    QTemporaryDir dir;
    QString staging = StagingDatabasePath(dir.path());
};

// Every row of a staging query, a Null shown as "<null>".
Rows stagingRows(const QString& path, const QString& query) {
    db::Connection connection = OpenStagingDatabase(path);
    return AllRows(connection, query);
}

QStringList stagingColumns(const QString& path, const QString& table) {
    db::Connection connection = OpenStagingDatabase(path);
    return connection.query(QStringLiteral("SELECT * FROM ") + StagingName(table)).fieldNames();
}

// Peak resident memory of this process (kB) since the last reset.
qint64 peakResidentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

bool resetPeakResident() {
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

// A file's mode bits as the file system holds them; -1 when it is missing.
int fileMode(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

bool setFileMode(const QString& path, int mode) {
    return ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

// The usual umask, under which files are made readable by everyone unless
// made otherwise.
struct UsualUmask {
    mode_t saved = ::umask(022);
    ~UsualUmask() { ::umask(saved); }
    UsualUmask() = default;
    UsualUmask(const UsualUmask&) = delete;
    UsualUmask& operator=(const UsualUmask&) = delete;
};

// A home folder of the case's own, so the user's data folder starts afresh
// and nothing is made outside the case's folders.
struct FreshHome {
    QTemporaryDir dir;
    ScopedEnvironment environment{{"HOME", QFile::encodeName(dir.path())},
                                  {"XDG_DATA_HOME", QByteArray()}};
    // Where the staging file goes when the program folder cannot be written.
    QString dataFolder() const { return dir.filePath(QStringLiteral(".local/share/quillmere")); }
};

// The modes of the staging file and its WAL companions, as the copy last
// saw them at a yield, while its staging connection was open.
class ModeProbe final : public RunContext {
public:
    explicit ModeProbe(QString path) : m_path(std::move(path)) {}
    void yield() override {
        m_modes = {fileMode(m_path), fileMode(m_path + QStringLiteral("-wal")),
                   fileMode(m_path + QStringLiteral("-shm"))};
    }
    void setProgress(int) override {}
    bool abandoned() const override { return false; }
    QList<int> modes() const { return m_modes; }

private:
    QString m_path;
    QList<int> m_modes;
};

}  // namespace

class TestJoin : public QObject {
    Q_OBJECT

    // Serves the event loop during copies, as the program's windows are served.
    EventLoopRunContext m_context;

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void stagingPath_data() {
        QTest::addColumn<QString>("subfolder");
        QTest::addColumn<bool>("writable");
        QTest::newRow("writable program folder") << "" << true;
        QTest::newRow("semicolon and braces in the folder name") << "a;b{c}" << true;
        // Running as root, no folder is closed to us by its mode bits; a
        // folder that is not there cannot be written either.
        QTest::newRow("program folder that cannot be written") << "gone" << false;
    }
    void stagingPath() {
        QFETCH(QString, subfolder);
        QFETCH(bool, writable);
        FreshHome home;
        QTemporaryDir dir;
        const QString programFolder = subfolder.isEmpty() ? dir.path() : dir.filePath(subfolder);
        if (writable) QVERIFY(QDir().mkpath(programFolder));
        const QString path = StagingDatabasePath(programFolder);
        QCOMPARE(path,
                 (writable ? programFolder : home.dataFolder()) + QStringLiteral("/temp.mdb"));
        QVERIFY(QFileInfo(path).dir().exists());
        // The file is made on first use, at exactly that path, and keeps its tables.
        OpenStagingDatabase(path).execute(QStringLiteral("CREATE TABLE `Table1`(a TEXT)"));
        QVERIFY(QFile::exists(path));
        QVERIFY(StagingTableExists(path, QStringLiteral("Table1")));
    }

    // An installed program keeps the staging file in the user's data folder
    // even where it could write beside itself, as root can.
    void stagingPathOfAnInstalledProgram() {
        FreshHome home;
        QTemporaryDir dir;
        const QString bin = dir.filePath(QStringLiteral("usr/bin"));
        QVERIFY(QDir().mkpath(bin));
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("usr/share/quillmere"))));
        QVERIFY(QFileInfo(bin).isWritable());
        QCOMPARE(StagingDatabasePath(bin), home.dataFolder() + QStringLiteral("/temp.mdb"));
        // Without its shared data folder beside it, a bin folder is a build's.
        QVERIFY(QDir(dir.filePath(QStringLiteral("usr/share/quillmere"))).removeRecursively());
        QCOMPARE(StagingDatabasePath(bin), bin + QStringLiteral("/temp.mdb"));
    }

    // Every value arrives as the server's own text; only Null and the empty
    // text become NULL. Rows come in the order the server gives them.
    void copyKeepsEveryValue() {
        standin::Login owner;
        ProgramFolder folder;
        const QString longText = QString(20000, QLatin1Char('y')) + QStringLiteral("ende");
        owner.exec(QStringLiteral(
            "CREATE TABLE \"Mixed Case People\" (\"Kunde Nr\" numeric(38), name varchar(40), "
            "amount numeric, ratio double precision, born date, seen timestamp(6), raw bytea, note "
            "text)"));
        owner.exec(
            QStringLiteral(
                "INSERT INTO \"Mixed Case People\" VALUES "
                "(99999999999999999999999999999999999999, 'O''Neil', 0.1, 0.1, '2018-12-22', "
                "'2018-12-22 09:15:00.123456', '\\x00ff41', 'Grüße, Ελλάδα, 日本 😀'), "
                "(-1, '', -12345678901234567890.123456789, -2.5e-300, '1900-01-01', '2000-02-29 "
                "23:59:59', "
                "'\\x', ' '), "
                "(NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL), "
                "(0, '''''' || ' \\ ' || chr(10) || chr(9) || 'end', 100, 1e300, NULL, NULL, NULL, "
                "'%1')")
                .arg(longText));

        QVERIFY(!QFile::exists(folder.staging));  // a missing staging file is made
        CopyOracleTable(owner.login(), QStringLiteral("Mixed Case People"),
                        QStringLiteral("Table1"), folder.staging, m_context);

        QCOMPARE(
            stagingRows(folder.staging,
                        QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'Table1'")),
            (Rows{{"CREATE TABLE `Table1`(`Kunde Nr` TEXT,`name` TEXT,`amount` TEXT,`ratio` TEXT,"
                   "`born` TEXT,`seen` TEXT,`raw` TEXT,`note` TEXT)"}}));
        const Rows rows = stagingRows(folder.staging, QStringLiteral("SELECT * FROM `Table1`"));
        const Rows expected = {
            {"99999999999999999999999999999999999999", "O'Neil", "0.1", "0.1", "2018-12-22",
             "2018-12-22 09:15:00.123456", rows.value(0).value(6), "Grüße, Ελλάδα, 日本 😀"},
            {"-1", "<null>", "-12345678901234567890.123456789", "-2.5e-300", "1900-01-01",
             "2000-02-29 23:59:59", "<null>", " "},
            {"<null>", "<null>", "<null>", "<null>", "<null>", "<null>", "<null>", "<null>"},
            {"0", "'' \\ \n\tend", "100", "1e+300", "<null>", "<null>", "<null>", longText},
        };
        QCOMPARE(rows, expected);
        // Binary arrives as the driver's hexadecimal text, not lost.
        QCOMPARE(rows.value(0).value(6).toLower(), QStringLiteral("00ff41"));
        // Values are stored as text, never turned into numbers.
        QCOMPARE(stagingRows(folder.staging,
                             QStringLiteral("SELECT DISTINCT typeof(`Kunde Nr`) FROM `Table1` "
                                            "WHERE `Kunde Nr` IS NOT NULL")),
                 (Rows{{"text"}}));
    }

    // A second copy into a name replaces the first; the same table copied
    // twice gives two equal tables; an empty table gives its columns only.
    void copiesReplaceAndRepeat() {
        standin::Login owner;
        ProgramFolder folder;
        owner.exec(QStringLiteral("CREATE TABLE t (id integer, v text)"));
        owner.exec(QStringLiteral("INSERT INTO t VALUES (1, 'a'), (2, NULL)"));
        owner.exec(QStringLiteral("CREATE TABLE empty (\"Only Column\" text, other integer)"));
        // A staging table of the same name in another case is the same table.
        OpenStagingDatabase(folder.staging)
            .execute(QStringLiteral("CREATE TABLE table1 (old TEXT)"));

        CopyOracleTable(owner.login(), QStringLiteral("t"), QStringLiteral("Table1"),
                        folder.staging, m_context);
        CopyOracleTable(owner.login(), QStringLiteral("t"), QStringLiteral("Table1"),
                        folder.staging, m_context);
        CopyOracleTable(owner.login(), QStringLiteral("t"), QStringLiteral("Table2"),
                        folder.staging, m_context);
        const Rows expected = {{"1", "a"}, {"2", "<null>"}};
        QCOMPARE(stagingRows(folder.staging, QStringLiteral("SELECT * FROM `Table1`")), expected);
        QCOMPARE(stagingRows(folder.staging, QStringLiteral("SELECT * FROM `Table2`")), expected);
        QCOMPARE(stagingColumns(folder.staging, QStringLiteral("Table1")),
                 (QStringList{"id", "v"}));

        CopyOracleTable(owner.login(), QStringLiteral("empty"), QStringLiteral("Table2"),
                        folder.staging, m_context);
        QCOMPARE(stagingColumns(folder.staging, QStringLiteral("Table2")),
                 (QStringList{"Only Column", "other"}));
        QCOMPARE(stagingRows(folder.staging, QStringLiteral("SELECT count(*) FROM `Table2`")),
                 (Rows{{"0"}}));
    }

    // Names holding the quoting characters of either database work throughout.
    void namesWithQuotingCharacters_data() {
        QTest::addColumn<QString>("oracleTable");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("stagingTable");
        QTest::newRow("blank and mixed case") << "Mixed Case"
                                              << "first name"
                                              << "Table1";
        QTest::newRow("backtick") << "back`tick"
                                  << "a`b"
                                  << "Tab`le1";
        QTest::newRow("closing bracket") << "x]y"
                                         << "c]"
                                         << "Table]1";
        QTest::newRow("double quote") << "say \"hi\""
                                      << "q\"q"
                                      << "St\"g";
        QTest::newRow("single quote") << "O'Neil's"
                                      << "it's"
                                      << "Table'1";
    }
    void namesWithQuotingCharacters() {
        QFETCH(QString, oracleTable);
        QFETCH(QString, column);
        QFETCH(QString, stagingTable);
        standin::Login owner;
        ProgramFolder folder;
        owner.exec(QStringLiteral("CREATE TABLE %1 (%2 text)")
                       .arg(OracleName(oracleTable), OracleName(column)));
        owner.exec(QStringLiteral("INSERT INTO %1 VALUES ('v')").arg(OracleName(oracleTable)));

        QVERIFY(!StagingTableExists(folder.staging, stagingTable));
        // Twice: the second copy must find and replace the first.
        for (int run = 0; run < 2; ++run)
            CopyOracleTable(owner.login(), oracleTable, stagingTable, folder.staging, m_context);
        QVERIFY(StagingTableExists(folder.staging, stagingTable));
        QCOMPARE(stagingColumns(folder.staging, stagingTable), QStringList{column});
        QCOMPARE(stagingRows(folder.staging,
                             QStringLiteral("SELECT * FROM ") + StagingName(stagingTable)),
                 (Rows{{"v"}}));

        MakeColumnVarchar(stagingTable, column, folder.staging);
        DropStagingTable(stagingTable, folder.staging);
        QVERIFY(!StagingTableExists(folder.staging, stagingTable));
        DropStagingTable(stagingTable, folder.staging);  // nothing left to drop: no failure
    }

    // The join field stays whole text compared as text, with an index on it;
    // a field the copy does not hold fails with SQLite's own words.
    void joinFieldReadiedForTheJoin() {
        ProgramFolder folder;
        const QString longKey = QString(300, QLatin1Char('k'));
        {
            db::Connection staging = OpenStagingDatabase(folder.staging);
            staging.execute(QStringLiteral("CREATE TABLE `Table1`(`Key One` TEXT,`a` TEXT)"));
            staging.execute(QStringLiteral("CREATE TABLE `Table2`(`k2` TEXT,`b` TEXT)"));
            for (const QString& key :
                 {QStringLiteral("01"), longKey + QLatin1Char('1'), longKey + QLatin1Char('2')})
                staging.execute(
                    QStringLiteral("INSERT INTO `Table1` VALUES(%1, 'x')").arg(QuotedText(key)));
            for (const QString& key : {QStringLiteral("1"), longKey + QLatin1Char('1')})
                staging.execute(
                    QStringLiteral("INSERT INTO `Table2` VALUES(%1, 'y')").arg(QuotedText(key)));
        }
        MakeColumnVarchar(QStringLiteral("Table1"), QStringLiteral("Key One"), folder.staging);
        MakeColumnVarchar(QStringLiteral("Table2"), QStringLiteral("K2"), folder.staging);
        MakeColumnVarchar(QStringLiteral("Table2"), QStringLiteral("k2"),
                          folder.staging);  // again: no failure

        // Keys that differ only after 255 characters, or only as numbers, do not match.
        const QString join = QStringLiteral(
            "SELECT length(`Key One`) FROM Table1 INNER JOIN Table2 ON "
            "Table1.`Key One` = Table2.k2");
        QCOMPARE(stagingRows(folder.staging, join), (Rows{{"301"}}));
        const Rows plan = stagingRows(folder.staging, QStringLiteral("EXPLAIN QUERY PLAN ") + join);
        bool usesIndex = false;
        for (const QStringList& step : plan)
            usesIndex = usesIndex || step.last().contains(QStringLiteral("INDEX"));
        QVERIFY2(usesIndex, qPrintable(plan.last().join(QLatin1Char(' '))));

        try {
            MakeColumnVarchar(QStringLiteral("Table1"), QStringLiteral("missing"), folder.staging);
            QFAIL("no failure");
        } catch (const DbError& error) {
            QCOMPARE(error.description(), QStringLiteral("no such column: missing"));
        }
    }

    void stagingFileThatCannotBeUsed_data() {
        QTest::addColumn<QByteArray>("content");  // null: a folder in the file's place
        QTest::newRow("folder in its place") << QByteArray();
        QTest::newRow("not a database") << QByteArray(8192, '\x5a');
    }
    void stagingFileThatCannotBeUsed() {
        QFETCH(QByteArray, content);
        standin::Login owner;
        ProgramFolder folder;
        owner.exec(QStringLiteral("CREATE TABLE t (v text)"));
        if (content.isNull()) {
            QVERIFY(QDir().mkpath(folder.staging));
        } else {
            QFile file(folder.staging);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        const auto fails = [](const std::function<void()>& step) {
            try {
                step();
            } catch (const DbError& error) {
                return !error.description().isEmpty();
            }
            return false;
        };
        QVERIFY(fails([&] {
            CopyOracleTable(owner.login(), QStringLiteral("t"), QStringLiteral("Table1"),
                            folder.staging, m_context);
        }));
        QVERIFY(fails([&] { DropStagingTable(QStringLiteral("Table1"), folder.staging); }));
        QVERIFY(fails([&] {
            MakeColumnVarchar(QStringLiteral("Table1"), QStringLiteral("v"), folder.staging);
        }));
        QVERIFY(!StagingTableExists(folder.staging, QStringLiteral("Table1")));
    }

    // A read that fails half-way ends the copy with the server's failure; the
    // rows copied before it stay.
    void failedReadEndsTheCopy() {
        standin::Login owner;
        ProgramFolder folder;
        owner.exec(QStringLiteral(
            "CREATE VIEW breaks AS SELECT 10 / (3 - g) AS v FROM generate_series(1, 5) g"));
        // Fetched two rows at a time, so the failure comes from a fetch, not the query.
        OracleLogin login = owner.login();
        login.driverOptions = QStringLiteral("UseDeclareFetch=1;Fetch=2;");
        try {
            CopyOracleTable(login, QStringLiteral("breaks"), QStringLiteral("Table1"),
                            folder.staging, m_context);
            QFAIL("no failure");
        } catch (const DbError& error) {
            QVERIFY2(error.description().contains(QStringLiteral("division by zero")),
                     qPrintable(error.description()));
        }
        QCOMPARE(stagingRows(folder.staging, QStringLiteral("SELECT * FROM `Table1`")),
                 (Rows{{"5"}, {"10"}}));
    }

    // Memory stays flat however many rows the table has, and windows get
    // their events throughout. The driver itself holds a whole result unless
    // told to fetch in pieces, so the measurement asks it to: what is left is
    // our own memory.
    void largeCopyInFlatMemory() {
        standin::Login owner;
        ProgramFolder folder;
        constexpr int RowCount = 100000;
        owner.exec(
            QStringLiteral("CREATE TABLE big AS SELECT g AS id, repeat(md5(g::text), 8) AS v "
                           "FROM generate_series(1, %1) g")
                .arg(RowCount));
        OracleLogin login = owner.login();
        login.driverOptions = QStringLiteral("UseDeclareFetch=1;");

        QElapsedTimer sinceEvent;
        qint64 longestWithoutEvents = 0;
        int events = 0;
        QTimer probe;
        probe.setInterval(1);
        connect(&probe, &QTimer::timeout, this, [&] {
            longestWithoutEvents = std::max(longestWithoutEvents, sinceEvent.restart());
            ++events;
        });
        probe.start();

        if (!resetPeakResident()) QSKIP("peak memory cannot be reset on this system");
        const qint64 before = peakResidentKb();
        QElapsedTimer took;
        took.start();
        sinceEvent.start();
        CopyOracleTable(login, QStringLiteral("big"), QStringLiteral("Table1"), folder.staging,
                        m_context);
        longestWithoutEvents = std::max(longestWithoutEvents, sinceEvent.elapsed());
        const qint64 grewKb = peakResidentKb() - before;
        probe.stop();

        QCOMPARE(stagingRows(folder.staging,
                             QStringLiteral("SELECT count(*), sum(length(v)) FROM `Table1`")),
                 (Rows{{QString::number(RowCount), QString::number(RowCount * 256)}}));
        qInfo(
            "copied %d rows in %lld ms; peak memory grew %lld kB; %d event rounds, longest gap "
            "%lld ms",
            RowCount, took.elapsed(), grewKb, events, longestWithoutEvents);
        // Without yields in the row loop the gap would be the whole copy.
        QVERIFY(events > 0);
#ifndef QM_SANITIZED
        // The table's text is 25 MB (50 MB as UTF-16); holding it would show.
        // A sanitized build keeps freed memory aside and is slower: neither
        // bound means anything there.
        QVERIFY2(grewKb < 8 * 1024, qPrintable(QString::number(grewKb)));
        QVERIFY2(longestWithoutEvents < 1000, qPrintable(QString::number(longestWithoutEvents)));
#endif
    }
    // The staging file holds whole copies of the user's tables: made by a
    // copy or by a staging open, it is its owner's alone, and so are the WAL
    // files beside it while it is open.
    void freshStagingFileIsOwnerOnly() {
        UsualUmask umask;
        const QList<int> ownerOnly = {0600, 0600, 0600};
        standin::Login owner;
        owner.exec(QStringLiteral("CREATE TABLE t (v text)"));
        owner.exec(QStringLiteral("INSERT INTO t VALUES ('a'), ('b')"));
        ProgramFolder copied;
        ModeProbe probe(copied.staging);
        CopyOracleTable(owner.login(), QStringLiteral("t"), QStringLiteral("Table1"),
                        copied.staging, probe);
        QCOMPARE(probe.modes(), ownerOnly);
        QCOMPARE(fileMode(copied.staging), 0600);

        ProgramFolder opened;
        db::Connection staging = OpenStagingDatabase(opened.staging);
        staging.execute(QStringLiteral("CREATE TABLE `Table1`(a TEXT)"));
        staging.execute(QStringLiteral("INSERT INTO `Table1` VALUES('x')"));
        QCOMPARE(
            (QList<int>{fileMode(opened.staging), fileMode(opened.staging + QStringLiteral("-wal")),
                        fileMode(opened.staging + QStringLiteral("-shm"))}),
            ownerOnly);
    }

    // The file and its companions, as they are found, and as they are left.
    void restrictStagingFile_data() {
        QTest::addColumn<int>("before");  // -1: no files at all
        QTest::addColumn<int>("after");
        QTest::newRow("missing: made for the owner") << -1 << 0600;
        QTest::newRow("readable by all") << 0644 << 0600;
        QTest::newRow("writable by all") << 0666 << 0600;
        QTest::newRow("readable by the group") << 0640 << 0600;
        QTest::newRow("owner only already") << 0600 << 0600;
        QTest::newRow("owner read-only is not widened") << 0444 << 0400;
    }
    void restrictStagingFile() {
        QFETCH(int, before);
        QFETCH(int, after);
        UsualUmask umask;
        ProgramFolder folder;
        const QStringList companions = {folder.staging + QStringLiteral("-wal"),
                                        folder.staging + QStringLiteral("-shm"),
                                        folder.staging + QStringLiteral("-journal")};
        if (before >= 0)
            for (const QString& file : QStringList{folder.staging} + companions) {
                QFile made(file);
                QVERIFY(made.open(QIODevice::WriteOnly));
                made.close();
                QVERIFY(setFileMode(file, before));
            }
        RestrictStagingFile(folder.staging);
        QCOMPARE(fileMode(folder.staging), after);
        QCOMPARE(QFileInfo(folder.staging).size(), 0);
        // Companions are narrowed where they are, never made.
        for (const QString& companion : companions)
            QCOMPARE(fileMode(companion), before < 0 ? -1 : after);
    }

    // An existing staging file is narrowed when it is opened, and keeps its
    // tables; a folder in its place keeps its own rights.
    void existingStagingFileNarrowedOnOpen() {
        UsualUmask umask;
        ProgramFolder folder;
        OpenStagingDatabase(folder.staging)
            .execute(QStringLiteral("CREATE TABLE `Table1`(a TEXT)"));
        QVERIFY(setFileMode(folder.staging, 0644));
        QVERIFY(StagingTableExists(folder.staging, QStringLiteral("Table1")));
        QCOMPARE(fileMode(folder.staging), 0600);

        ProgramFolder taken;
        QVERIFY(QDir().mkpath(taken.staging));
        QVERIFY(setFileMode(taken.staging, 0755));
        RestrictStagingFile(taken.staging);
        QCOMPARE(fileMode(taken.staging), 0755);
    }

    // The user's data folder, used when the program folder cannot be written,
    // is made for its owner alone, as is every level above it that is made;
    // a folder that was there keeps its rights (it may be anyone's choice).
    void fallbackFolderIsOwnerOnly_data() {
        QTest::addColumn<bool>("existing");
        QTest::newRow("made afresh") << false;
        QTest::newRow("there, readable by all") << true;
    }
    void fallbackFolderIsOwnerOnly() {
        QFETCH(bool, existing);
        UsualUmask umask;
        FreshHome home;
        QTemporaryDir programParent;
        const QString dataFolder = home.dataFolder();
        if (existing) {
            QVERIFY(QDir().mkpath(dataFolder));
            QVERIFY(setFileMode(dataFolder, 0755));
        }
        const QString path = StagingDatabasePath(programParent.filePath(QStringLiteral("gone")));
        QCOMPARE(path, dataFolder + QStringLiteral("/temp.mdb"));
        for (QString level = dataFolder; level != home.dir.path(); level = QFileInfo(level).path())
            QCOMPARE(fileMode(level), existing ? 0755 : 0700);
        OpenStagingDatabase(path).execute(QStringLiteral("CREATE TABLE `Table1`(a TEXT)"));
        QCOMPARE(fileMode(path), 0600);
    }

    // XDG_DATA_HOME counts only as an absolute path; without one, HOME must
    // be one, or the run is told so instead of making a folder at the root
    // or below the current one.
    void dataFolderFromTheEnvironment_data() {
        QTest::addColumn<QString>("dataHome");  // "<null>": unset; <root>: the case's folder
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("expected");  // the staging file, or the failure's text
        const QString inHome = QStringLiteral("<root>/home/.local/share/quillmere/temp.mdb");
        const QString inData = QStringLiteral("<root>/data/quillmere/temp.mdb");
        const QString noFolder = QStringLiteral(
            "No folder for the program's files: neither XDG_DATA_HOME nor HOME is "
            "set to an absolute path.");
        QTest::newRow("set") << "<root>/data"
                             << "<root>/home" << inData;
        QTest::newRow("unset") << "<null>"
                               << "<root>/home" << inHome;
        QTest::newRow("empty") << ""
                               << "<root>/home" << inHome;
        QTest::newRow("relative") << "data"
                                  << "<root>/home" << inHome;
        QTest::newRow("set, HOME unset") << "<root>/data"
                                         << "<null>" << inData;
        QTest::newRow("HOME unset") << "<null>"
                                    << "<null>" << noFolder;
        QTest::newRow("HOME empty") << "<null>"
                                    << "" << noFolder;
        QTest::newRow("HOME relative") << "data"
                                       << "home" << noFolder;
    }
    void dataFolderFromTheEnvironment() {
        QFETCH(QString, dataHome);
        QFETCH(QString, home);
        QFETCH(QString, expected);
        QTemporaryDir root;
        const auto value = [&](QString text) {
            if (text == QStringLiteral("<null>")) return QByteArray();
            return QFile::encodeName(text.replace(QStringLiteral("<root>"), root.path()));
        };
        expected.replace(QStringLiteral("<root>"), root.path());
        // Relative values would be taken from here.
        const QString current = QDir::currentPath();
        QVERIFY(QDir::setCurrent(root.path()));
        const auto back = qScopeGuard([&] { QDir::setCurrent(current); });
        const ScopedEnvironment environment{{"XDG_DATA_HOME", value(dataHome)},
                                            {"HOME", value(home)}};
        QString outcome;
        try {
            outcome = StagingDatabasePath(root.filePath(QStringLiteral("gone")));
        } catch (const Failure& failure) {
            outcome = failure.description();
        }
        QCOMPARE(outcome, expected);
        const QStringList made =
            QDir(root.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
        QCOMPARE(made, expected.startsWith(root.path())
                           ? QStringList{expected.contains(QStringLiteral("/home/"))
                                             ? QStringLiteral("home")
                                             : QStringLiteral("data")}
                           : QStringList());
    }

    // What stands where the staging folder or file belongs, made by another
    // user or a mistake, is never written through, made or narrowed: the
    // failure names it. The data folder is XDG_DATA_HOME's; the file is
    // looked at in a writable program folder.
    void plantedStagingPlaces_data() {
        QTest::addColumn<QString>("place");  // below the case's folder
        QTest::addColumn<QString>("planted");
        for (const char* place :
             {"data/quillmere", "program/temp.mdb", "program/temp.mdb-journal"}) {
            QTest::addRow("link at %s", place) << place << "link";
            QTest::addRow("dangling link at %s", place) << place << "dangling link";
        }
        QTest::newRow("data folder of another user") << "data/quillmere"
                                                     << "other owner";
    }
    void plantedStagingPlaces() {
        QFETCH(QString, place);
        QFETCH(QString, planted);
        UsualUmask umask;
        QTemporaryDir root;
        const ScopedEnvironment environment{
            {"HOME", QFile::encodeName(root.filePath(QStringLiteral("home")))},
            {"XDG_DATA_HOME", QFile::encodeName(root.filePath(QStringLiteral("data")))}};
        const bool folder = place.startsWith(QStringLiteral("data/"));
        QVERIFY(QDir(root.path()).mkpath(QStringLiteral("data")));
        QVERIFY(QDir(root.path()).mkpath(QStringLiteral("program")));
        const QString at = root.filePath(place);
        QString target = root.filePath(QStringLiteral("target"));
        const auto makeTarget = [&] {
            if (folder) {
                QVERIFY(QDir().mkpath(target));
            } else {
                QFile made(target);
                QVERIFY(made.open(QIODevice::WriteOnly));
                made.write("precious");
                made.close();
            }
            QVERIFY(setFileMode(target, folder ? 0755 : 0644));
        };
        if (planted == QStringLiteral("other owner")) {
            target = at;
            makeTarget();
            if (::chown(QFile::encodeName(at).constData(), 65534, 65534) != 0)
                QSKIP("only root can give a folder to another user");
        } else {
            if (planted == QStringLiteral("link")) makeTarget();
            QVERIFY(QFile::link(target, at));
        }
        if (QTest::currentTestFailed()) return;

        const QString programFolder =
            root.filePath(folder ? QStringLiteral("gone") : QStringLiteral("program"));
        QString failure;
        try {
            OpenStagingDatabase(StagingDatabasePath(programFolder))
                .execute(QStringLiteral("CREATE TABLE `Table1`(a TEXT)"));
        } catch (const Failure& refused) {
            failure = refused.description();
        }
        QVERIFY2(failure.contains(at + QLatin1Char(' ')), qPrintable(failure));
        if (planted == QStringLiteral("dangling link")) {
            QVERIFY(!QFileInfo::exists(target));
        } else if (folder) {
            QCOMPARE(fileMode(target), 0755);
            QCOMPARE(QDir(target).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                     QStringList());
        } else {
            QCOMPARE(fileMode(target), 0644);
            QFile kept(target);
            QVERIFY(kept.open(QIODevice::ReadOnly));
            QCOMPARE(kept.readAll(), QByteArray("precious"));
        }
    }
};

int runStagingTests(int argc, char** argv) {
    TestJoin tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "test_join.moc"
