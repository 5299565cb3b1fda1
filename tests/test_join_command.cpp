// `quillmere join` from a script: the real program, run as a child process
// with no display, against the stand-in server.
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <csignal>
#include <optional>

#include "base/settings_store.h"
#include "db/connection.h"
#include "support/held_up_server.h"
#include "support/private_home.h"
#include "support/standin.h"
#include "support/wide_tables.h"

namespace {

// What one run of the command left.
struct Ran {
    int exitCode = -1;
    QString out, err;
};

QList<QStringList> sorted(QList<QStringList> rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The installed program in a folder of its own (bin, with share/quillmere
// beside it), so its staging file is the per-user one under the case's own
// XDG_DATA_HOME, as for a user's installed program.
class InstalledProgram final {
public:
    InstalledProgram() {
        QDir(m_root.path()).mkpath(QStringLiteral("bin"));
        QDir(m_root.path()).mkpath(QStringLiteral("share/quillmere"));
        QFile::copy(QStringLiteral(QM_PROGRAM), path());
        QFile(path()).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString path() const { return m_root.filePath(QStringLiteral("bin/quillmere")); }

private:
    QTemporaryDir m_root;
};

// A login of its own with a saved login in a settings store of its own, and
// a home, XDG folders and environment that no display and nothing of the
// user's reaches.
class CommandRig final {
public:
    explicit CommandRig(const InstalledProgram& program) : m_program(program) {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, configFolder());
        SettingsStore::write(SettingsStore::OracleSID(), owner.login().sid);
        SettingsStore::write(SettingsStore::OracleUser(), owner.name());
        m_environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
                                 "QUILLMERE_PASSWORD", "XDG_RUNTIME_DIR"})
            m_environment.remove(QString::fromLatin1(name));
        m_environment.insert("HOME", m_home.path());
        m_environment.insert("XDG_CONFIG_HOME", configFolder());
        m_environment.insert("XDG_DATA_HOME", m_home.filePath("data"));
        m_environment.insert("XDG_STATE_HOME", m_home.filePath("state"));
    }

    // The password in a file readable by its owner alone, as in the README.
    QString passwordFile(const QString& password) const {
        const QString path = m_home.filePath("password");
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        file.write(password.toUtf8() + "\n");
        return path;
    }

    // A variable of the program's environment set, or removed (no value).
    void setEnvironment(const QString& name, const std::optional<QString>& value) {
        if (value)
            m_environment.insert(name, *value);
        else
            m_environment.remove(name);
    }

    // The program started with the arguments after "join".
    void start(QProcess& process, const QStringList& arguments) const {
        process.setProcessEnvironment(m_environment);
        process.start(m_program.path(), QStringList{"join"} + arguments);
    }

    Ran run(const QStringList& arguments, const QByteArray& input = {}) const {
        QProcess process;
        start(process, arguments);
        if (!input.isNull()) process.write(input);
        process.closeWriteChannel();
        Ran ran;
        if (!process.waitForFinished(120000)) return ran;
        ran.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        ran.out = QString::fromUtf8(process.readAllStandardOutput());
        ran.err = QString::fromUtf8(process.readAllStandardError());
        return ran;
    }
    Ran runWithPassword(const QStringList& arguments) const {
        return run(arguments + QStringList{"--password-file", passwordFile(owner.password())});
    }

    // The command started on a table of 20 IDs joined with itself, whose
    // write sleeps on the server at the last row: the sleeping server
    // process, once there is one (0 when the command ended first, or after
    // a minute).
    qint64 startSleepingWrite(QProcess& program) const {
        owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10)))");
        owner.exec(R"(INSERT INTO "A" SELECT to_char(n, 'FM00') FROM generate_series(1, 20) n)");
        MakeInsertsOfId20Sleep(owner);
        start(program,
              {"A", "ID", "A", "ID", "R", "--password-file", passwordFile(owner.password())});
        if (!program.waitForStarted()) return 0;
        db::Connection server = standin::admin();
        for (QDeadlineTimer deadline(60000); !deadline.hasExpired();) {
            const QList<QStringList> found =
                AllRows(server, QStringLiteral("SELECT pid FROM pg_stat_activity WHERE "
                                               "usename = '%1' AND wait_event = 'PgSleep'")
                                    .arg(owner.name()));
            if (!found.isEmpty()) return found.front().front().toLongLong();
            if (program.waitForFinished(50)) break;
        }
        return 0;
    }

    QString stagingPath() const { return m_home.filePath("data/quillmere/temp.mdb"); }
    QString log() const {
        QFile file(m_home.filePath("state/quillmere/quillmere.log"));
        file.open(QIODevice::ReadOnly);
        return QString::fromUtf8(file.readAll());
    }
    QString configFolder() const { return m_home.filePath("config"); }
    QList<QStringList> tables() const {
        return sorted(owner.rows("SELECT table_name FROM user_tables"));
    }

    standin::Login owner{QStringLiteral("qm_cmd")};

private:
    const InstalledProgram& m_program;
    QTemporaryDir m_home;
    QProcessEnvironment m_environment;
};

// Two tables that meet on some IDs and not on others, with a null, a quote
// and a join value that only one side has.
void makeTables(const standin::Login& owner) {
    owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10), "NAME" varchar(20)))");
    owner.exec(R"(INSERT INTO "A" VALUES ('1', 'one'), ('2', 'it''s'), ('3', NULL), (NULL, 'x'))");
    owner.exec(R"(CREATE TABLE "B" ("ID" varchar(10), "AMOUNT" varchar(20)))");
    owner.exec(R"(INSERT INTO "B" VALUES ('2', '20'), ('3', '30'), ('4', '40'), ('4', '41'))");
}

const QString ServerJoin = QStringLiteral(
    R"(SELECT a."ID", a."NAME", b."ID", b."AMOUNT" FROM "A" a FULL OUTER JOIN "B" b ON a."ID" = b."ID")");

}  // namespace

class TestJoinCommand : public QObject {
    Q_OBJECT

public:
    // Before the application object: the program's home is a temporary one.
    static void initMain() { UsePrivateHome(); }

    std::unique_ptr<InstalledProgram> m_program;

private slots:
    void initTestCase() {
        m_program = std::make_unique<InstalledProgram>();
        QVERIFY(QFile::exists(m_program->path()));
    }

    // The new table holds the server's own full outer join of the two, once
    // made and once overwritten; the summary says so, in text and JSON, and
    // the settings store is left as it was.
    void joinEqualsTheServersFullOuterJoin() {
        CommandRig rig(*m_program);
        makeTables(rig.owner);
        QFile settings(SettingsStore::fileName());
        QVERIFY(settings.open(QIODevice::ReadOnly));
        const QByteArray savedBefore = settings.readAll();
        settings.close();
        const QList<QStringList> expected = sorted(rig.owner.rows(ServerJoin));

        const Ran made = rig.runWithPassword({"A", "ID", "B", "ID", "R"});
        QVERIFY2(made.exitCode == 0, qPrintable(made.err));
        QCOMPARE(sorted(rig.owner.rows(R"(SELECT * FROM "R")")), expected);
        QVERIFY2(made.out.contains(QStringLiteral("rows copied: 4 from A, 4 from B\nrows staged: "
                                                  "%1\nrows written: %1\nrows missing: 0\n")
                                       .arg(expected.size())),
                 qPrintable(made.out));
        // Off a terminal, no progress line.
        QVERIFY2(made.err.isEmpty(), qPrintable(made.err));

        rig.owner.exec(R"(DELETE FROM "B" WHERE "ID" = '4')");
        const Ran overwritten =
            rig.runWithPassword({"A", "ID", "B", "ID", "R", "--overwrite", "--json"});
        QVERIFY2(overwritten.exitCode == 0, qPrintable(overwritten.err));
        const QList<QStringList> expectedNow = sorted(rig.owner.rows(ServerJoin));
        QCOMPARE(sorted(rig.owner.rows(R"(SELECT * FROM "R")")), expectedNow);
        const QJsonObject summary = QJsonDocument::fromJson(overwritten.out.toUtf8()).object();
        QCOMPARE(summary.value("written").toInteger(), expectedNow.size());
        QCOMPARE(summary.value("missing").toInteger(), 0);
        QCOMPARE(summary.value("exitCode").toInt(), 0);
        QVERIFY(summary.value("seconds").toObject().contains("write"));

        QVERIFY(settings.open(QIODevice::ReadOnly));
        QCOMPARE(settings.readAll(), savedBefore);
    }

    // Wrong arguments end the command before anything is copied or made,
    // naming what is wrong and the closest entries that exist.
    void nothingDoneForWrongArguments_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("lockHeld");  // another join holds the staging file
        QTest::newRow("field that does not exist")
            << QStringList{"A", "ID", "B", "AMOUNTS", "R"} << 2
            << R"(no field "AMOUNTS" in table "B"; the closest: "AMOUNT", "ID")" << false;
        QTest::newRow("table in another case") << QStringList{"a", "ID", "B", "ID", "R"} << 2
                                               << R"(no table "a" among the tables of)" << false;
        QTest::newRow("too few arguments")
            << QStringList{"A", "ID", "B", "ID"} << 2
            << "join takes TABLE1 FIELD1 TABLE2 FIELD2 NEWTABLE" << false;
        QTest::newRow("listed name without --overwrite")
            << QStringList{"A", "ID", "B", "ID", "Old"} << 4
            << R"("Old" is already one of the tables of)" << false;
        QTest::newRow("staging file held by another join")
            << QStringList{"A", "ID", "B", "ID", "R"} << 5 << "Another join is using " << true;
    }
    void nothingDoneForWrongArguments() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QFETCH(bool, lockHeld);
        CommandRig rig(*m_program);
        makeTables(rig.owner);
        rig.owner.exec(R"(CREATE TABLE "Old" ("V" varchar(10)))");
        rig.owner.exec(R"(INSERT INTO "Old" VALUES ('kept'))");
        const QList<QStringList> before = rig.tables();
        QDir().mkpath(QFileInfo(rig.stagingPath()).path());
        QLockFile otherJoin(rig.stagingPath() + ".lock");
        if (lockHeld) QVERIFY(otherJoin.tryLock(0));

        const Ran ran = rig.runWithPassword(arguments);
        QCOMPARE(ran.exitCode, exitCode);
        QVERIFY2(ran.err.contains(message), qPrintable(ran.err));
        if (QByteArray(QTest::currentDataTag()) == "table in another case")
            QVERIFY2(ran.err.contains(R"(the closest: "A")"), qPrintable(ran.err));
        QVERIFY2(ran.out.isEmpty(), qPrintable(ran.out));
        QCOMPARE(rig.tables(), before);
        QCOMPARE(rig.owner.rows(R"(SELECT * FROM "Old")"), (QList<QStringList>{{"kept"}}));
        // Not even the staging file was made.
        QVERIFY(!QFile::exists(rig.stagingPath()));
    }

    // A join or a name beyond the server's limits is refused before the
    // work, with exit code 2 and the limit in the box; where the driver
    // reports no such limit (psqlODBC: no column limit, names of 63 bytes),
    // the join is made. Oracle's limits here: 1,000 columns, 30 bytes.
    void refusedBeyondTheServersLimits_data() {
        QTest::addColumn<int>("columnsB");    // besides ID; A has 499 more
        QTest::addColumn<QString>("shared");  // a column of both tables
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("line");  // 0: the join is made
        QTest::addColumn<QString>("limit");
        QTest::addColumn<bool>("alsoPostgres");  // beyond psqlODBC's limits too
        QTest::newRow("1,001 columns") << 500 << ""
                                       << "R" << 124 << "at most 1000 columns in a table" << false;
        QTest::newRow("suffixed column name of 31 bytes")
            << 0 << QString(30, QLatin1Char('C')) << "R" << 124
            << "column names of at most 30 bytes" << false;
        QTest::newRow("table name of 31 bytes") << 0 << "" << QString(31, QLatin1Char('T')) << 140
                                                << "table names of at most 30 bytes" << false;
        QTest::newRow("table name of 64 bytes") << 0 << "" << QString(64, QLatin1Char('T')) << 140
                                                << "table names of at most 30 bytes" << true;
    }
    void refusedBeyondTheServersLimits() {
        QFETCH(int, columnsB);
        QFETCH(QString, shared);
        QFETCH(QString, name);
        QFETCH(int, line);
        QFETCH(QString, limit);
        QFETCH(bool, alsoPostgres);
        CommandRig rig(*m_program);
        rig.setEnvironment("OmNameLimit", QStringLiteral("30"));
        MakeWideTables(rig.owner, 499, columnsB, shared);
        const Ran ran = rig.runWithPassword({"A", "ID", "B", "ID", name});

        const bool oracle = standin::programMeetsOracle();
        if (!oracle && !alsoPostgres) {
            QVERIFY2(ran.exitCode == 0, qPrintable(ran.err));
            QCOMPARE(rig.owner.rows(QStringLiteral(R"(SELECT count(*) FROM "%1")").arg(name)),
                     (QList<QStringList>{{"1"}}));
            return;
        }
        QCOMPARE(ran.exitCode, 2);
        if (!oracle) limit.replace(QStringLiteral("30"), QStringLiteral("63"));
        QVERIFY2(
            ran.err.contains(limit) && ran.err.contains(QStringLiteral(" at line %1\n").arg(line)),
            qPrintable(ran.err));
        QVERIFY2(ran.out.contains("exit code: 2\n"), qPrintable(ran.out));
        QCOMPARE(rig.tables(), (QList<QStringList>{{"A"}, {"B"}}));
    }

    // Without NLS_LANG the program takes UTF-8 as the client's character
    // set, so text outside ASCII arrives whole; a set the user named stays,
    // and one that is not UTF-8 is logged as a warning: through Oracle's
    // client, characters outside it become '?'.
    void clientCharacterSet_data() {
        QTest::addColumn<QString>("lang");  // null: unset
        QTest::addColumn<bool>("lossy");
        QTest::newRow("unset") << QString() << false;
        QTest::newRow("language and territory only") << QStringLiteral("AMERICAN_AMERICA") << false;
        QTest::newRow("Western European") << QStringLiteral("GERMAN_GERMANY.WE8ISO8859P1") << true;
    }
    void clientCharacterSet() {
        QFETCH(QString, lang);
        QFETCH(bool, lossy);
        CommandRig rig(*m_program);
        rig.owner.exec(R"(CREATE TABLE "A" ("ID" varchar(10), "NAME" varchar(20)))");
        rig.owner.exec(R"(INSERT INTO "A" VALUES ('1', 'Grüße 😀'))");
        rig.owner.exec(R"(CREATE TABLE "B" ("ID" varchar(10)))");
        rig.owner.exec(R"(INSERT INTO "B" VALUES ('1'))");
        rig.setEnvironment("NLS_LANG", lang.isNull() ? std::nullopt : std::optional(lang));
        const Ran ran = rig.runWithPassword({"A", "ID", "B", "ID", "R"});
        QVERIFY2(ran.exitCode == 0, qPrintable(ran.err));
        const bool warned = rig.log().contains(
            "NLS_LANG names the client character set WE8ISO8859P1, not UTF-8: characters outside "
            "it become ? when read from Oracle and when written to it.");
        QCOMPARE(warned, lossy);
        const QString name = lossy && standin::programMeetsOracle() ? QStringLiteral("Gr??e ?")
                                                                    : QStringLiteral("Grüße 😀");
        QCOMPARE(rig.owner.rows(R"(SELECT "NAME" FROM "R")"), (QList<QStringList>{{name}}));
    }

    // A password source that holds nothing is named, and no login is tried.
    void emptyPassword_data() {
        QTest::addColumn<bool>("fromFile");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty standard input")
            << false << QByteArray("") << "standard input held no password";
        QTest::newRow("empty line on standard input")
            << false << QByteArray("\n") << "standard input held no password";
        QTest::newRow("empty password file") << true << QByteArray() << "holds no password";
    }
    void emptyPassword() {
        QFETCH(bool, fromFile);
        QFETCH(QByteArray, input);
        QFETCH(QString, message);
        CommandRig rig(*m_program);
        makeTables(rig.owner);
        const Ran ran = rig.run({"A", "ID", "B", "ID", "R", "--password-file",
                                 fromFile ? rig.passwordFile(QString()) : QStringLiteral("-")},
                                input);
        QCOMPARE(ran.exitCode, 2);
        QVERIFY2(ran.err.contains(message), qPrintable(ran.err));
        QVERIFY2(!ran.err.contains("password authentication failed"), qPrintable(ran.err));
        QVERIFY(ran.out.isEmpty());
        QVERIFY(!QFile::exists(rig.stagingPath()));
    }

    // Without a home there is no log: the command says so on standard error
    // and joins all the same, and its help says why there is none.
    void withoutAHome_data() {
        QTest::addColumn<QString>("home");  // null: unset
        QTest::addColumn<bool>("help");
        QTest::newRow("no HOME") << QString() << false;
        QTest::newRow("relative HOME") << QStringLiteral("home") << false;
        QTest::newRow("help without HOME") << QString() << true;
    }
    void withoutAHome() {
        QFETCH(QString, home);
        QFETCH(bool, help);
        CommandRig rig(*m_program);
        makeTables(rig.owner);
        rig.setEnvironment("HOME", home.isNull() ? std::nullopt : std::optional(home));
        rig.setEnvironment("XDG_STATE_HOME", std::nullopt);
        const QString reason =
            QStringLiteral("neither XDG_STATE_HOME nor HOME is set to an absolute path");
        if (help) {
            const Ran ran = rig.run({"--help"});
            QCOMPARE(ran.exitCode, 0);
            QVERIFY2(ran.out.contains("Diagnostics log: none, as " + reason), qPrintable(ran.out));
            return;
        }
        const Ran ran = rig.runWithPassword({"A", "ID", "B", "ID", "R"});
        QCOMPARE(ran.exitCode, 0);
        QVERIFY2(ran.err.contains("quillmere: no diagnostics log: " + reason), qPrintable(ran.err));
        QCOMPARE(rig.owner.rows(R"(SELECT count(*) FROM "R")").size(), 1);
    }

    // A staging file that cannot be locked is never used unlocked: the
    // failure is the first copy's error box, naming the lock, and the
    // summary names the table that was asked for.
    void stagingCannotBeLocked() {
        CommandRig rig(*m_program);
        makeTables(rig.owner);
        // A file where the data folder would be: no folder, so no lock, can be made.
        const QString notAFolder = QFileInfo(rig.stagingPath()).path() + QStringLiteral("-file");
        QDir().mkpath(QFileInfo(notAFolder).path());
        QFile file(notAFolder);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        rig.setEnvironment("XDG_DATA_HOME", notAFolder);
        const QString lock = notAFolder + QStringLiteral("/quillmere/temp.mdb.lock");
        const Ran ran = rig.runWithPassword({"A", "ID", "B", "ID", "R"});
        QCOMPARE(ran.exitCode, 1);
        QVERIFY2(ran.err.contains("The staging file cannot be locked: " + lock) &&
                     ran.err.contains(" at line 124\n"),
                 qPrintable(ran.err));
        QVERIFY2(ran.out.startsWith("join: A with B into R\n") &&
                     ran.out.contains("rows copied: - from A, - from B\n") &&
                     ran.out.contains("exit code: 1\n"),
                 qPrintable(ran.out));
    }

    // A lost connection mid-write leaves rows missing, and is a failure all
    // the same: the exit code says failure, the summary counts the rows.
    void lostConnectionMidWrite() {
        CommandRig rig(*m_program);
        QProcess program;
        QVERIFY2(rig.startSleepingWrite(program), program.readAllStandardError().constData());
        rig.owner.endSessions();
        QVERIFY(program.waitForFinished(60000));
        const QString out = QString::fromUtf8(program.readAllStandardOutput());
        const QString err = QString::fromUtf8(program.readAllStandardError());
        QCOMPARE(program.exitCode(), 1);
        QVERIFY2(!out.contains("rows missing: 0\n") && out.contains("exit code: 1\n"),
                 qPrintable(out + err));
    }

    // A password the server refuses: the driver's reason on standard error,
    // and the password nowhere the command writes.
    void wrongPassword() {
        CommandRig rig(*m_program);
        makeTables(rig.owner);
        const QString wrong = QStringLiteral("Wr0ng-secret-%1").arg(rig.owner.name());
        const Ran ran =
            rig.run({"A", "ID", "B", "ID", "R", "--password-file", "-"}, wrong.toUtf8() + "\n");
        QCOMPARE(ran.exitCode, 1);
        QVERIFY2(ran.err.contains("password authentication failed"), qPrintable(ran.err));
        QVERIFY2(ran.err.contains("SQLSTATE"), qPrintable(ran.err));
        const QString log = rig.log();
        QVERIFY(!log.isEmpty());
        for (const QString& text : {ran.out, ran.err, log})
            QVERIFY2(!text.contains(wrong), qPrintable(text));
    }

    // Rows too long for VARCHAR(2000) are reported once, counted, and the
    // rest written.
    void rowsTooLong() {
        CommandRig rig(*m_program);
        makeTables(rig.owner);
        rig.owner.exec(R"(ALTER TABLE "A" ALTER COLUMN "NAME" TYPE text)");
        rig.owner.exec(R"(UPDATE "A" SET "NAME" = repeat('n', 2001) WHERE "ID" IN ('1', '2'))");
        const qsizetype rows = rig.owner.rows(ServerJoin).size();
        const Ran ran = rig.runWithPassword({"A", "ID", "B", "ID", "R"});
        QCOMPARE(ran.exitCode, 3);
        QVERIFY2(
            ran.out.contains(QStringLiteral("rows staged: %1\nrows written: %2\nrows missing: 2\n")
                                 .arg(rows)
                                 .arg(rows - 2)),
            qPrintable(ran.out));
        QVERIFY2(ran.err.contains("Application Error\n") && ran.err.contains(" at line 348\n"),
                 qPrintable(ran.err));
        QVERIFY2(
            ran.err.contains(QStringLiteral("2 of %1 rows could not be written to R.").arg(rows)),
            qPrintable(ran.err));
        QCOMPARE(rig.owner.rows(R"(SELECT count(*) FROM "R")"),
                 (QList<QStringList>{{QString::number(rows - 2)}}));
    }

    // An overwrite whose new table would lack rows leaves the old table as
    // it was: exit 3, every row counted as not written to that name, and the
    // reason, in the box's words and in the JSON summary.
    void overwriteLackingRowsKeepsTheOldTable() {
        CommandRig rig(*m_program);
        makeTables(rig.owner);
        rig.owner.exec(R"(ALTER TABLE "A" ALTER COLUMN "NAME" TYPE text)");
        rig.owner.exec(R"(UPDATE "A" SET "NAME" = repeat('n', 2001) WHERE "ID" = '1')");
        rig.owner.exec(R"(CREATE TABLE "R" ("OLD" varchar(10)))");
        rig.owner.exec(R"(INSERT INTO "R" VALUES ('old'))");
        const qsizetype rows = rig.owner.rows(ServerJoin).size();
        const Ran ran = rig.runWithPassword({"A", "ID", "B", "ID", "R", "--overwrite", "--json"});
        QCOMPARE(ran.exitCode, 3);
        const QJsonObject summary = QJsonDocument::fromJson(ran.out.toUtf8()).object();
        QCOMPARE(summary.value("written").toInteger(), 0);
        QCOMPARE(summary.value("missing").toInteger(), rows);
        QCOMPARE(summary.value("oldTableKept").toBool(), true);
        QVERIFY2(ran.err.contains(QStringLiteral("R keeps its old rows: 1 of the %1 rows could "
                                                 "not be written.")
                                      .arg(rows)),
                 qPrintable(ran.err));
        QCOMPARE(rig.owner.rows(R"(SELECT * FROM "R")"), (QList<QStringList>{{"old"}}));
        QCOMPARE(rig.owner.rows("SELECT count(*) FROM user_tables WHERE table_name LIKE 'QM%'"),
                 (QList<QStringList>{{"0"}}));
    }

    // SIGTERM while the old table is dropped, the new one having taken its
    // name: the drop is not cancelled, the command ends at its give-up, and
    // the log and the summary say where the rows are: the new ones under the
    // listed name, all of them written.
    void sigtermWhileTheOldTableIsDropped() {
        CommandRig rig(*m_program);
        makeTables(rig.owner);
        rig.owner.exec(R"(CREATE TABLE "R" ("OLD" varchar(10)))");
        rig.owner.exec(R"(INSERT INTO "R" VALUES ('old'))");
        const QList<QStringList> expected = sorted(rig.owner.rows(ServerJoin));
        MakeTableMovesSlow(rig.owner, 3, "'DROP TABLE'");

        QProcess program;
        rig.start(program, {"A", "ID", "B", "ID", "R", "--overwrite", "--password-file",
                            rig.passwordFile(rig.owner.password())});
        QVERIFY(program.waitForStarted());
        bool dropping = false;
        db::Connection server = standin::admin();
        for (QDeadlineTimer deadline(60000); !dropping && !deadline.hasExpired();) {
            dropping = !AllRows(server, QStringLiteral("SELECT pid FROM pg_stat_activity WHERE "
                                                       "usename = '%1' AND wait_event = 'PgSleep' "
                                                       "AND query LIKE '%DROP TABLE \"QM_OLD%'")
                                            .arg(rig.owner.name()))
                            .isEmpty();
            if (program.waitForFinished(20)) break;
        }
        QVERIFY2(dropping, program.readAllStandardError().constData());
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), 130);
        const QString log = rig.log();
        QVERIFY2(log.contains(R"("R" holds the new rows; the program ended while its old rows )"
                              R"(in "QM_OLD_)"),
                 qPrintable(log));
        QVERIFY2(!log.contains(R"(left in "QM_NEW_)"), qPrintable(log));
        const QString out = QString::fromUtf8(program.readAllStandardOutput());
        QVERIFY2(out.contains(QStringLiteral("rows written: %1\n").arg(expected.size())),
                 qPrintable(out));
        QCOMPARE(sorted(rig.owner.rows(R"(SELECT * FROM "R")")), expected);
    }

    // SIGTERM while a row's insert sleeps on the server ends the command
    // within 3 seconds, as closing the window does: the insert is cancelled,
    // or given up when its server process cannot even hear the cancel. Exit
    // 130, the lock free, the log's summary and the printed one counting
    // what was written.
    void sigtermDuringTheWrite_data() {
        QTest::addColumn<bool>("serverStopped");
        QTest::newRow("sleeping insert") << false;
        QTest::newRow("server process stopped") << true;
    }
    void sigtermDuringTheWrite() {
        QFETCH(bool, serverStopped);
        CommandRig rig(*m_program);
        QProcess program;
        const qint64 sleeping = rig.startSleepingWrite(program);
        QVERIFY2(sleeping, program.readAllStandardError().constData());
        StoppedServerProcess stopped;
        if (serverStopped) QVERIFY(stopped.stop(sleeping));

        QElapsedTimer sinceSignal;
        sinceSignal.start();
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(10000));
        QVERIFY2(sinceSignal.elapsed() < 3000, qPrintable(QString::number(sinceSignal.elapsed())));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 130);
        QLockFile lock(rig.stagingPath() + ".lock");
        QVERIFY(lock.tryLock(0));
        // The rows before the sleeping one were committed, and are counted.
        const QString written = rig.owner.rows(R"(SELECT count(*) FROM "R")").value(0).value(0);
        QVERIFY(written.toInt() > 0 && written.toInt() < 20);
        const QString counts = QStringLiteral("staged 20, written %1, missing %2")
                                   .arg(written)
                                   .arg(20 - written.toInt());
        QVERIFY2(rig.log().contains("join run: A with A into R: rows copied 20 and 20, " + counts),
                 qPrintable(rig.log()));
        const QString out = QString::fromUtf8(program.readAllStandardOutput());
        QVERIFY2(
            out.contains("rows written: " + written + "\n") && out.contains("exit code: 130\n"),
            qPrintable(out));
    }

    // Its help lists the options and exit codes, with no display.
    void help() {
        CommandRig rig(*m_program);
        const Ran ran = rig.run({"--help"});
        QCOMPARE(ran.exitCode, 0);
        for (const char* text : {"--password-file <FILE>", "--overwrite", "--suffix <TEXT>",
                                 "--json", "Exit codes:", "  130  interrupted"})
            QVERIFY2(ran.out.contains(QLatin1String(text)), text);
    }
};

QTEST_GUILESS_MAIN(TestJoinCommand)
#include "test_join_command.moc"
