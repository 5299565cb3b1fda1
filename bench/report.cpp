#include "report.h"

#include <algorithm>
#include <functional>

namespace bench {
namespace {

QString seconds(double value) { return QStringLiteral("%1 s").arg(value, 0, 'f', 3); }

QString ratio(double program, double floor) {
    return floor > 0 ? QStringLiteral("%1x").arg(program / floor, 0, 'f', 1) : QString();
}

template <typename Run>
double medianOf(const QList<Run>& runs, const std::function<double(const Run&)>& figure) {
    QList<double> values;
    for (const Run& run : runs) values << figure(run);
    return Median(values);
}

// The median of a stall or call over the runs, with the places of the run
// whose figure is the middle one, so they go with the figure.
template <typename Longest>
Longest medianLongest(const QList<ProgramMeasurement>& runs, Longest ProgramMeasurement::*longest) {
    if (runs.isEmpty()) return {};
    QList<Longest> figures;
    for (const ProgramMeasurement& run : runs) figures << run.*longest;
    std::sort(figures.begin(), figures.end(),
              [](const Longest& a, const Longest& b) { return a.milliseconds < b.milliseconds; });
    Longest middle = figures.at(figures.size() / 2);
    middle.milliseconds = medianOf<ProgramMeasurement>(
        runs, [longest](const ProgramMeasurement& r) { return (r.*longest).milliseconds; });
    return middle;
}

QString millis(double value) { return QStringLiteral("%1 ms").arg(value, 0, 'f', 1); }

QString table(const QList<QStringList>& rows) {
    QList<qsizetype> widths(rows.first().size(), 0);
    for (const QStringList& row : rows)
        for (qsizetype i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
    QString text;
    for (qsizetype r = 0; r < rows.size(); ++r) {
        QStringList cells;
        for (qsizetype i = 0; i < rows[r].size(); ++i)
            cells << (i == 0 ? rows[r][i].leftJustified(widths[i])
                             : rows[r][i].rightJustified(widths[i]));
        text += QStringLiteral("| ") + cells.join(QStringLiteral(" | ")) + QStringLiteral(" |\n");
        if (r == 0) {
            QStringList rule;
            for (qsizetype width : widths) rule << QString(width, QLatin1Char('-'));
            text +=
                QStringLiteral("|-") + rule.join(QStringLiteral("-|-")) + QStringLiteral("-|\n");
        }
    }
    return text;
}

}  // namespace

double Median(QList<double> values) {
    if (values.isEmpty()) return 0;
    std::sort(values.begin(), values.end());
    const qsizetype middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

QString FormatReport(const BenchResults& results) {
    using Floors = QList<FloorTimings>;
    using Programs = QList<ProgramMeasurement>;
    const Floors& f = results.floors;
    const Programs& p = results.programRuns;
    const bool measured =
        !p.isEmpty() && std::all_of(p.begin(), p.end(),
                                    [](const ProgramMeasurement& m) { return m.timings.measured; });

    struct Phase {
        const char* name;
        std::function<double(const FloorTimings&)> floor;
        std::function<double(const ProgramMeasurement&)> program;
    };
    const QList<Phase> phases{
        {"copy table 1", [](const FloorTimings& t) { return t.copyTable1; },
         [](const ProgramMeasurement& m) { return m.timings.copyTable1; }},
        {"copy table 2", [](const FloorTimings& t) { return t.copyTable2; },
         [](const ProgramMeasurement& m) { return m.timings.copyTable2; }},
        {"indexes + join + staging", [](const FloorTimings& t) { return t.indexesJoinStaging; },
         [](const ProgramMeasurement& m) { return m.timings.indexesJoinStaging; }},
        {"write to the server", [](const FloorTimings& t) { return t.writeToServer; },
         [](const ProgramMeasurement& m) { return m.timings.writeToServer; }},
    };

    QList<QStringList> rows{{QStringLiteral("phase"), QStringLiteral("program"),
                             QStringLiteral("floor"), QStringLiteral("ratio")}};
    const auto addRow = [&](const QString& name, double program, double floor) {
        rows << QStringList{name, measured ? seconds(program) : QString(), seconds(floor),
                            measured ? ratio(program, floor) : QString()};
    };
    // The whole run's floor is the sum of the phases' floors: what the run
    // would take if every phase went as fast as the plainest tool does it.
    double floorSum = 0;
    for (const Phase& phase : phases) {
        const double floor = medianOf<FloorTimings>(f, phase.floor);
        floorSum += floor;
        addRow(QString::fromLatin1(phase.name), medianOf<ProgramMeasurement>(p, phase.program),
               floor);
    }
    const double programWhole = medianOf<ProgramMeasurement>(
        p, [](const ProgramMeasurement& m) { return m.timings.wholeRun; });
    const double server =
        medianOf<FloorTimings>(f, [](const FloorTimings& t) { return t.serverCreateTableAs; });
    addRow(QStringLiteral("whole run"), programWhole, floorSum);
    const double programWrite = medianOf<ProgramMeasurement>(
        p, [](const ProgramMeasurement& m) { return m.timings.writeToServer; });
    addRow(QStringLiteral("write vs psql replaying one INSERT a row (information)"), programWrite,
           medianOf<FloorTimings>(f, [](const FloorTimings& t) { return t.psqlInserts; }));
    addRow(QStringLiteral("write vs psql's COPY (information)"), programWrite,
           medianOf<FloorTimings>(f, [](const FloorTimings& t) { return t.psqlCopy; }));
    addRow(QStringLiteral("whole run vs the server's own CREATE TABLE AS"), programWhole, server);

    const double peakMiB =
        medianOf<ProgramMeasurement>(
            p, [](const ProgramMeasurement& m) { return double(m.peakResidentKiB); }) /
        1024.0;
    const EventLoopStall stall = medianLongest(p, &ProgramMeasurement::longestStall);
    const DriverCall call = medianLongest(p, &ProgramMeasurement::longestCall);
    rows << QStringList{QStringLiteral("peak resident memory (VmHWM)"),
                        QStringLiteral("%1 MiB").arg(peakMiB, 0, 'f', 1), QString(), QString()};
    rows << QStringList{QStringLiteral("longest event-loop stall (our code)"),
                        millis(stall.milliseconds), QString(), QString()};
    rows << QStringList{QStringLiteral("longest single driver call"), millis(call.milliseconds),
                        QString(), QString()};

    QString text =
        QStringLiteral("Join run: %1 rows per table, %2 rows joined, median of %3 run(s)\n")
            .arg(results.rowsPerTable)
            .arg(results.joinedRows)
            .arg(f.size());
    text += QStringLiteral("%1; %2\n\n").arg(results.sqliteVersion, results.psqlVersion);
    text += table(rows);
    text += QStringLiteral("\nThe floors together take %1x the server's own CREATE TABLE AS.\n")
                .arg(server > 0 ? floorSum / server : 0.0, 0, 'f', 1);
    text += QStringLiteral("Longest event-loop stall (our code): from \"%1\" to \"%2\".\n")
                .arg(stall.from, stall.to);
    text += QStringLiteral("Longest single driver call: in \"%1\".\n").arg(call.where);
    if (!measured)
        text += QStringLiteral(
            "The program's run is not wired in yet (bench/program_run.cpp): its memory and "
            "stall are those of the bare child process.\n");
    return text;
}

}  // namespace bench
