#include "report.h"

#include <algorithm>
#include <functional>

namespace bench {
namespace {

using FloorFigure = std::function<double(const FloorTimings&)>;
using ProgramFigure = std::function<double(const ProgramTimings&)>;

QString seconds(double value) { return QStringLiteral("%1 s").arg(value, 0, 'f', 3); }
QString millis(double value) { return QStringLiteral("%1 ms").arg(value, 0, 'f', 1); }

// One line of the table: the program's figure beside a floor's, both the
// median over the runs, and the median of the ratios taken within each run,
// so a run slowed by the machine slows both sides of its own ratio.
QStringList phaseRow(const BenchResults& results, const QString& name, const ProgramFigure& program,
                     const FloorFigure& floor) {
    QList<double> programs;
    QList<double> floors;
    QList<double> ratios;
    for (qsizetype run = 0; run < results.floors.size(); ++run) {
        const double p = program(results.programRuns[run].timings);
        const double f = floor(results.floors[run]);
        programs << p;
        floors << f;
        if (f > 0) ratios << p / f;
    }
    return {name, seconds(Median(programs)), seconds(Median(floors)),
            ratios.isEmpty() ? QString() : QStringLiteral("%1x").arg(Median(ratios), 0, 'f', 2)};
}

// The longest stretch of all runs and the run it came from (from 1).
struct LongestStretch {
    UnservedStretch stretch;
    qsizetype run = 0;
};

LongestStretch longestStretch(const QList<ProgramMeasurement>& runs,
                              UnservedStretch ProgramMeasurement::*stretch) {
    LongestStretch longest;
    for (qsizetype run = 0; run < runs.size(); ++run) {
        const UnservedStretch& figure = runs[run].*stretch;
        if (longest.run == 0 || figure.milliseconds > longest.stretch.milliseconds)
            longest = {figure, run + 1};
    }
    return longest;
}

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

QString places(const LongestStretch& longest) {
    const UnservedStretch& stretch = longest.stretch;
    QString text = QStringLiteral("run %1, from \"%2\" to \"%3\"")
                       .arg(longest.run)
                       .arg(stretch.from, stretch.to);
    if (!stretch.call.isEmpty()) text += QStringLiteral(", longest driver call ") + stretch.call;
    return text;
}

QString loadAverages(const QList<double>& loads) {
    QStringList figures;
    for (const double load : loads)
        figures << (load < 0 ? QStringLiteral("unknown") : QString::number(load, 'f', 2));
    return figures.join(QStringLiteral(", "));
}

}  // namespace

double Median(QList<double> values) {
    if (values.isEmpty()) return 0;
    std::sort(values.begin(), values.end());
    const qsizetype middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

QString FormatReport(const BenchResults& results) {
    const auto copy1 = [](const FloorTimings& t) { return t.copyTable1; };
    const auto copy2 = [](const FloorTimings& t) { return t.copyTable2; };
    const auto join = [](const FloorTimings& t) { return t.indexesJoinStaging; };
    const auto write = [](const FloorTimings& t) { return t.writeToServer; };
    const auto programWrite = [](const ProgramTimings& t) { return t.writeToServer; };
    const auto programWhole = [](const ProgramTimings& t) { return t.wholeRun; };

    QList<QStringList> rows{{QStringLiteral("phase"), QStringLiteral("program"),
                             QStringLiteral("floor"), QStringLiteral("ratio")}};
    rows << phaseRow(
        results, QStringLiteral("copy table 1 (bound read + prepared insert)"),
        [](const ProgramTimings& t) { return t.copyTable1; }, copy1);
    rows << phaseRow(
        results, QStringLiteral("copy table 2 (bound read + prepared insert)"),
        [](const ProgramTimings& t) { return t.copyTable2; }, copy2);
    rows << phaseRow(
        results, QStringLiteral("indexes + join + staging (the sqlite3 shell)"),
        [](const ProgramTimings& t) { return t.indexesJoinStaging; }, join);
    rows << phaseRow(results, QStringLiteral("write (arrays of 1,000 rows, a commit each)"),
                     programWrite, write);
    rows << phaseRow(
        results, QStringLiteral("whole run (the sum of the floors above)"), programWhole,
        [&](const FloorTimings& t) { return copy1(t) + copy2(t) + join(t) + write(t); });
    if (results.replay)
        rows << phaseRow(results, QStringLiteral("information: write vs psql, an INSERT a row"),
                         programWrite, [](const FloorTimings& t) { return t.psqlInserts; });
    rows << phaseRow(results, QStringLiteral("information: write vs psql's COPY"), programWrite,
                     [](const FloorTimings& t) { return t.psqlCopy; });

    const QList<ProgramMeasurement>& p = results.programRuns;
    QList<double> peaks;
    for (const ProgramMeasurement& m : p) peaks << double(m.peakResidentKiB) / 1024.0;
    const LongestStretch withCalls = longestStretch(p, &ProgramMeasurement::withCalls);
    const LongestStretch outsideCalls = longestStretch(p, &ProgramMeasurement::outsideCalls);
    const LongestStretch connecting = longestStretch(p, &ProgramMeasurement::connecting);
    rows << QStringList{QStringLiteral("peak memory of the program (VmHWM)"),
                        QStringLiteral("%1 MiB").arg(Median(peaks), 0, 'f', 1), QString(),
                        QString()};
    rows << QStringList{QStringLiteral("window unserved, driver calls included (max of all runs)"),
                        millis(withCalls.stretch.milliseconds), QString(), QString()};
    rows << QStringList{QStringLiteral("window unserved, outside driver calls (max of all runs)"),
                        millis(outsideCalls.stretch.milliseconds), QString(), QString()};
    rows << QStringList{QStringLiteral("window unserved while connecting (max of all runs)"),
                        millis(connecting.stretch.milliseconds), QString(), QString()};
    rows << phaseRow(results,
                     QStringLiteral("information: whole run vs the server's CREATE TABLE AS"),
                     programWhole, [](const FloorTimings& t) { return t.serverCreateTableAs; });

    QString text =
        QStringLiteral(
            "Join run: %1 rows per table, %2 rows joined, median of %3 interleaved run(s), "
            "the program first in odd runs and last in even ones; ratios are medians of each "
            "run's own ratio, the window's figures the longest of all runs\n")
            .arg(results.rowsPerTable)
            .arg(results.joinedRows)
            .arg(results.floors.size());
    text += QStringLiteral(
                "Busy processes beside each run: %1; load average (1 minute) at the end "
                "of each run: %2\n")
                .arg(results.busyProcesses)
                .arg(loadAverages(results.loadAverages));
    if (!results.replay)
        text += QStringLiteral("psql's replay of an INSERT a row skipped (--no-replay)\n");
    text += QStringLiteral("%1; %2; server: %3\n\n")
                .arg(results.sqliteVersion, results.psqlVersion, results.serverSettings);
    text += table(rows);
    text += QStringLiteral("\nDriver calls included: %1.\n").arg(places(withCalls));
    text += QStringLiteral("Outside driver calls: %1.\n").arg(places(outsideCalls));
    text += QStringLiteral("Connecting: %1.\n").arg(places(connecting));
    return text;
}

}  // namespace bench
