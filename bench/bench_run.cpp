#include "bench_run.h"

#include <sqlite3.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstdio>

#include "bench_data.h"
#include "bench_error.h"
#include "bench_setup.h"
#include "busy_processes.h"
#include "content_check.h"
#include "external_command.h"
#include "floor_child.h"
#include "join_floor.h"
#include "odbc.h"
#include "program_child.h"
#include "psql_write.h"
#include "server_floor.h"
#include "standin_login.h"

namespace bench {
namespace {

const QString SqliteShell = QStringLiteral("sqlite3");
// The result tables on the server: one each for the write floor, psql's two
// ways of writing, the server's own join and the program, so none of them
// meets another's table.
const QString FloorResultTable = QStringLiteral("R_FLOOR");
const QString InsertResultTable = QStringLiteral("R_PSQL_INSERT");
const QString CopyResultTable = QStringLiteral("R_PSQL_COPY");
const QString ServerResultTable = QStringLiteral("R_SERVER");
const QString ProgramResultTable = QStringLiteral("R_PROGRAM");

void progress(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    std::fflush(stderr);
}

// The join floor needs RIGHT JOIN, which the sqlite3 shell has from 3.39 on.
QString checkSqliteShell() {
    const QString version =
        RunForOutput({SqliteShell, {QStringLiteral("--version")}}).section(QLatin1Char(' '), 0, 0);
    try {
        RunForOutput({SqliteShell,
                      {QStringLiteral(":memory:"),
                       QStringLiteral("SELECT count(*) FROM (SELECT 1 AS a) AS x "
                                      "RIGHT JOIN (SELECT 2 AS b) AS y ON x.a = y.b;")}});
    } catch (const BenchError& e) {
        throw BenchError(
            QStringLiteral("The sqlite3 shell %1 cannot RIGHT JOIN (3.39 or later can): %2")
                .arg(version, QString::fromUtf8(e.what())));
    }
    return QStringLiteral("sqlite3 shell %1, SQLite library %2")
        .arg(version, QString::fromLatin1(sqlite3_libversion()));
}

void dropServerTable(OdbcConnection& server, const QString& table) {
    server.execute(QStringLiteral("DROP TABLE IF EXISTS \"%1\"").arg(table));
}

// How durably the server commits, as the report shows it.
QString serverSettings(const StandinLogin& login) {
    QStringList arguments = login.psqlArguments();
    arguments << QStringLiteral("-tAc")
              << QStringLiteral(
                     "SELECT 'fsync ' || current_setting('fsync') || "
                     "', synchronous_commit ' || current_setting('synchronous_commit') "
                     "|| ', full_page_writes ' || current_setting('full_page_writes')");
    return RunForOutput({QStringLiteral("psql"), arguments, QString(), login.psqlEnvironment()});
}

// A write floor that lost rows would flatter itself.
void checkRowCount(const StandinLogin& login, const QString& table, qint64 expected) {
    QStringList arguments = login.psqlArguments();
    arguments << QStringLiteral("-tAc") << QStringLiteral("SELECT count(*) FROM \"%1\"").arg(table);
    const QString rows =
        RunForOutput({QStringLiteral("psql"), arguments, QString(), login.psqlEnvironment()});
    if (rows.toLongLong() != expected)
        throw BenchError(
            QStringLiteral("%1 holds %2 rows, not %3.").arg(table, rows).arg(expected));
}

void checkContent(const OdbcConnection& server, const SourceTables& tables, const QString& table) {
    const ContentCheck content = CheckContent(server, tables, table);
    progress(QStringLiteral("  content: the server's join %1 rows, the program's table %2; "
                            "only in the join %3, only in the table %4")
                 .arg(content.joinRows)
                 .arg(content.tableRows)
                 .arg(content.onlyInJoin)
                 .arg(content.onlyInTable));
    if (!content.same())
        throw BenchError(
            QStringLiteral("The program's table differs from the server's own full "
                           "outer join of the two tables."));
}

QString folder(const QTemporaryDir& work, const QString& name) {
    const QString path = work.filePath(name);
    QDir(path).removeRecursively();
    if (!QDir().mkpath(path)) throw BenchError(QStringLiteral("Could not make ") + path);
    return path;
}

// The files a bench makes in its work folder.
struct WorkFiles {
    QString copy1, copy2, stagingTemplate, joined;
    PsqlWriteFiles psql;
};

WorkFiles workFiles(const QTemporaryDir& work, bool replay) {
    return {work.filePath(QStringLiteral("copy1.sqlite")),
            work.filePath(QStringLiteral("copy2.sqlite")),
            work.filePath(QStringLiteral("staging.sqlite")),
            work.filePath(QStringLiteral("joined.sqlite")),
            {replay ? work.filePath(QStringLiteral("insert.sql")) : QString(),
             work.filePath(QStringLiteral("copy.sql")), work.filePath(QStringLiteral("copy.csv"))}};
}

// What every run measures with: the login, its server and tables, and the
// files in the work folder.
struct BenchInputs {
    const BenchOptions& options;
    const QTemporaryDir& work;
    const StandinLogin& login;
    OdbcConnection& server;
    const SourceTables& tables;
    const WorkFiles& files;
    QString serverJoin;
    // The floors' and the program's connection options: the driver streams results.
    QString connection;
};

BenchSetup programSetup(const StandinLogin& login, const SourceTables& tables, qint64 rows) {
    BenchSetup setup;
    setup.sid = StandinSid();
    setup.user = login.user();
    setup.password = login.password();
    setup.table1 = tables.first.name;
    setup.field1 = tables.first.keyField;
    setup.table2 = tables.second.name;
    setup.field2 = tables.second.keyField;
    setup.suffix = QStringLiteral("_2");
    setup.resultTable = ProgramResultTable;
    setup.rowsPerTable = rows;
    return setup;
}

// Every floor, each in a process of its own. The copies are the same every
// run, so the join's input and psql's files are made in the first run only,
// outside the timing.
FloorTimings measureFloors(const BenchInputs& in, int run, const QString& child,
                           BenchResults& results) {
    const WorkFiles& files = in.files;
    FloorTimings floor;
    floor.copyTable1 = MeasureCopyFloor({FloorJob::Kind::Copy, in.connection, in.tables.first.name,
                                         files.copy1, QStringLiteral("Table1")},
                                        child);
    floor.copyTable2 = MeasureCopyFloor({FloorJob::Kind::Copy, in.connection, in.tables.second.name,
                                         files.copy2, QStringLiteral("Table2")},
                                        child);
    if (run == 1) MergeStagingFiles(files.copy1, files.copy2, files.stagingTemplate);
    floor.indexesJoinStaging = JoinFloor({SqliteShell, files.stagingTemplate, files.joined,
                                          in.tables.first.keyField, in.tables.second.keyField});
    if (run == 1)
        results.joinedRows = WritePsqlFiles(files.joined, JoinFloorTable(), InsertResultTable,
                                            CopyResultTable, files.psql);
    dropServerTable(in.server, FloorResultTable);
    floor.writeToServer = MeasureWriteFloor(
        {FloorJob::Kind::Write, in.connection, FloorResultTable, files.joined, JoinFloorTable()},
        child);
    checkRowCount(in.login, FloorResultTable, results.joinedRows);
    if (in.options.replay) {
        dropServerTable(in.server, InsertResultTable);
        floor.psqlInserts = RunPsqlScript(in.login, files.psql.insertScript);
    }
    dropServerTable(in.server, CopyResultTable);
    floor.psqlCopy = RunPsqlScript(in.login, files.psql.copyScript);
    dropServerTable(in.server, ServerResultTable);
    floor.serverCreateTableAs = ServerFloor(in.login, in.serverJoin);
    return floor;
}

ProgramMeasurement measureProgram(const BenchInputs& in, BenchSetup& setup, const QString& child) {
    dropServerTable(in.server, ProgramResultTable);
    setup.programFolder = folder(in.work, QStringLiteral("program"));
    return MeasureProgram(setup, child);
}

void reportRun(const BenchOptions& options, int run, bool programFirst, const FloorTimings& floor,
               const ProgramMeasurement& program, double load) {
    const auto copy = [](const CopyFloorTimes& t) {
        return QStringLiteral("%1 s read + %2 s insert")
            .arg(t.read, 0, 'f', 3)
            .arg(t.insert, 0, 'f', 3);
    };
    progress(QStringLiteral("run %1/%2 (%3 first): floors %4 and %5 copy, %6 s join, %7 s write "
                            "(%8 s sending), %9 s server; program %10 s")
                 .arg(run)
                 .arg(options.runs)
                 .arg(programFirst ? QStringLiteral("program") : QStringLiteral("floors"))
                 .arg(copy(floor.copyTable1), copy(floor.copyTable2))
                 .arg(floor.indexesJoinStaging, 0, 'f', 3)
                 .arg(floor.writeToServer.whole, 0, 'f', 3)
                 .arg(floor.writeToServer.sendAndCommit, 0, 'f', 3)
                 .arg(floor.serverCreateTableAs, 0, 'f', 3)
                 .arg(program.timings.wholeRun, 0, 'f', 3));
    progress(QStringLiteral("run %1/%2: load average %3 (1 minute), %4 busy process(es)")
                 .arg(run)
                 .arg(options.runs)
                 .arg(load < 0 ? QStringLiteral("unknown") : QString::number(load, 'f', 2))
                 .arg(options.busy));
}

// One run measures every floor and the program, one after the other, each in
// a process of its own, so a drift of the machine falls on all; which side
// goes first alternates, and the busy processes spin through both.
void measureRun(const BenchInputs& in, BenchSetup& setup, int run, BenchResults& results) {
    const QString child = folder(in.work, QStringLiteral("child"));
    const bool programFirst = run % 2 == 1;
    BusyProcesses busy(in.options.busy);
    FloorTimings floor;
    ProgramMeasurement program;
    if (programFirst) {
        program = measureProgram(in, setup, child);
        floor = measureFloors(in, run, child, results);
    } else {
        floor = measureFloors(in, run, child, results);
        program = measureProgram(in, setup, child);
    }
    // Taken before the busy processes stop, so it shows what the run met.
    const double load = LoadAverage();
    busy.stop();
    results.floors << floor;
    results.programRuns << program;
    results.loadAverages << load;
    reportRun(in.options, run, programFirst, floor, program, load);
    // A fast run that lost or changed rows would be no run at all.
    checkContent(in.server, in.tables, ProgramResultTable);
}

}  // namespace

BenchResults RunBench(const BenchOptions& options) {
    BenchResults results;
    results.rowsPerTable = options.rowsPerTable;
    results.busyProcesses = options.busy;
    results.replay = options.replay;
    results.sqliteVersion = checkSqliteShell();
    results.psqlVersion = RunForOutput({QStringLiteral("psql"), {QStringLiteral("--version")}});

    QTemporaryDir work;
    if (!work.isValid())
        throw BenchError(QStringLiteral("No temporary folder: ") + work.errorString());
    progress(
        QStringLiteral("Making a login with two tables of %1 rows...").arg(options.rowsPerTable));
    StandinLogin login;
    if (options.keep) {
        work.setAutoRemove(false);
        login.keep();
        progress(QStringLiteral("Keeping the login %1 (password %2) and the folder %3.")
                     .arg(login.user(), login.password(), work.path()));
    }
    results.serverSettings = serverSettings(login);
    OdbcConnection server(login.connectionString());
    const SourceTables tables = CreateSourceTables(server, options.rowsPerTable);
    const WorkFiles files = workFiles(work, options.replay);
    const BenchInputs inputs{options,
                             work,
                             login,
                             server,
                             tables,
                             files,
                             ServerJoinStatement(tables, ServerResultTable),
                             login.streamingConnectionString()};
    BenchSetup setup = programSetup(login, tables, options.rowsPerTable);
    for (int run = 1; run <= options.runs; ++run) measureRun(inputs, setup, run, results);
    return results;
}

}  // namespace bench
