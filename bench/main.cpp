// qm_bench ROWS [--runs N] [--busy N] [--no-replay] [--keep]: the join run's benchmark
// (scripts/bench.sh). qm_bench --program FOLDER: one run of the program, in a process of its own.
// qm_bench --floor FOLDER: one floor through the ODBC driver, the same way.
// Exits 3 when the program ran under a floor, which then needs mending.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <exception>

#include "bench_run.h"
#include "floor_child.h"
#include "program_child.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qm_bench"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Times the join run of two fresh tables of ROWS rows each on the stand-in server, "
        "beside the floor of each phase, and prints the medians and the longest stalls."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("rows"),
                                 QStringLiteral("Rows in each source table."));
    const QCommandLineOption runsOption(
        QStringLiteral("runs"),
        QStringLiteral("Runs of each figure, of which the median is shown."), QStringLiteral("n"),
        QStringLiteral("3"));
    const QCommandLineOption busyOption(
        QStringLiteral("busy"),
        QStringLiteral("CPU-bound processes to keep spinning beside the program and its floors "
                       "alike, from the start of each run to its end."),
        QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption noReplayOption(
        QStringLiteral("no-replay"),
        QStringLiteral("Skip psql replaying an INSERT a row, the slowest information line."));
    const QCommandLineOption keepOption(
        QStringLiteral("keep"),
        QStringLiteral("Leave the login and the work folder for a look afterwards."));
    QCommandLineOption programOption(
        QStringLiteral("program"),
        QStringLiteral("Run the program once (the bench's child process)."),
        QStringLiteral("folder"));
    programOption.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption floorOption(QStringLiteral("floor"),
                                   QStringLiteral("Run one floor (the bench's child process)."),
                                   QStringLiteral("folder"));
    floorOption.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(runsOption);
    parser.addOption(busyOption);
    parser.addOption(noReplayOption);
    parser.addOption(keepOption);
    parser.addOption(programOption);
    parser.addOption(floorOption);
    parser.process(app);

    try {
        if (parser.isSet(programOption)) return bench::RunProgramChild(parser.value(programOption));
        if (parser.isSet(floorOption)) return bench::RunFloorChild(parser.value(floorOption));

        bool rowsOk = false;
        bool runsOk = false;
        bool busyOk = false;
        bench::BenchOptions options;
        options.rowsPerTable = parser.positionalArguments().value(0).toLongLong(&rowsOk);
        options.runs = parser.value(runsOption).toInt(&runsOk);
        options.keep = parser.isSet(keepOption);
        options.busy = parser.value(busyOption).toInt(&busyOk);
        options.replay = !parser.isSet(noReplayOption);
        if (parser.positionalArguments().size() != 1 || !rowsOk || options.rowsPerTable < 1 ||
            !runsOk || options.runs < 1 || !busyOk || options.busy < 0) {
            std::fprintf(stderr, "%s\n", qPrintable(parser.helpText()));
            return 2;
        }
        const bench::Report report = bench::MakeReport(bench::RunBench(options));
        std::fputs(report.text.toUtf8().constData(), stdout);
        if (!report.floorsToMend.isEmpty()) {
            std::fprintf(stderr, "qm_bench: the program ran under %.2fx of a floor: %s\n",
                         bench::LowestFloorRatio,
                         qPrintable(report.floorsToMend.join(QStringLiteral("; "))));
            return 3;
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qm_bench: %s\n", e.what());
        return 1;
    }
}
