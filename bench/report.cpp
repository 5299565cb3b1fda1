#include "report.h"

#include <QLocale>
#include <algorithm>
#include <functional>

namespace bench {
namespace {

using FloorFigure = std::function<double(const FloorTimings&)>;
using ProgramFigure = std::function<double(const ProgramTimings&)>;

QString seconds(double value) { return QStringLiteral("%1 s").arg(value, 0, 'f', 3); }
QString millis(double value) { return QStringLiteral("%1 ms").arg(value, 0, 'f', 1); }

// A phase's medians over the runs: the program's figure, a floor's, and the
// ratio taken within each run, so a run slowed by the machine slows both
// sides of its own ratio.
struct Medians {
    double program = 0;
    double floor = 0;
    double ratio = 0;
    bool hasRatio = false;
};

Medians medians(const BenchResults& results, const ProgramFigure& program,
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
    return {Median(programs), Median(floors), Median(ratios), !ratios.isEmpty()};
}

QString ratioText(double ratio) { return QStringLiteral("%1x").arg(ratio, 0, 'f', 2); }

QString verdict(bool met) { return met ? QStringLiteral("met") : QStringLiteral("missed"); }

// The table's rows, and the floors found to need mending.
struct Rows {
    bool checksFloors = false;  // the tables are large enough to tell
    QList<QStringList> cells{{QStringLiteral("phase"), QStringLiteral("program"),
                              QStringLiteral("floor"), QStringLiteral("ratio"),
                              QStringLiteral("goal")}};
    QStringList floorsToMend;

    // A phase held against its floor: a ratio under LowestFloorRatio is not
    // a result but a floor to mend, unless the floor is too short to tell.
    // `goal` is the highest ratio the program should reach, 0 for none.
    void phase(const QString& name, const Medians& m, double goal) {
        QString ratio = m.hasRatio ? ratioText(m.ratio) : QString();
        QString judged = goal > 0 ? QStringLiteral("at most %1").arg(ratioText(goal)) : QString();
        if (m.hasRatio && m.ratio < LowestFloorRatio) {
            ratio = QStringLiteral("under %1").arg(ratioText(LowestFloorRatio));
            if (!checksFloors) {
                judged = QStringLiteral("tables too small to check");
            } else if (m.floor < ShortestCheckedFloor) {
                judged = QStringLiteral("floor too short to check");
            } else {
                judged = QStringLiteral("floor to mend");
                floorsToMend << QStringLiteral("%1 at %2").arg(name, ratioText(m.ratio));
            }
        } else if (m.hasRatio && goal > 0) {
            judged += QStringLiteral(": ") + verdict(m.ratio <= goal);
        }
        cells << QStringList{name, seconds(m.program), seconds(m.floor), ratio, judged};
    }
    // A part of the floor above, shown beside it with no ratio.
    void part(const QString& name, double floor) {
        cells << QStringList{QStringLiteral("  ") + name, QString(), seconds(floor), QString(),
                             QString()};
    }
    // A comparison that is no floor: the program may well run under it.
    void information(const QString& name, const Medians& m) {
        cells << QStringList{QStringLiteral("information: ") + name, seconds(m.program),
                             seconds(m.floor), m.hasRatio ? ratioText(m.ratio) : QString(),
                             QString()};
    }
    void figure(const QString& name, const QString& value, const QString& goal, bool met) {
        cells << QStringList{name, value, QString(), QString(),
                             goal + QStringLiteral(": ") + verdict(met)};
    }
    void figure(const QString& name, const QString& value) {
        cells << QStringList{name, value, QString(), QString(), QString()};
    }
};

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

Report MakeReport(const BenchResults& results) {
    const auto copy1 = [](const FloorTimings& t) { return t.copyTable1; };
    const auto copy2 = [](const FloorTimings& t) { return t.copyTable2; };
    const auto join = [](const FloorTimings& t) { return t.indexesJoinStaging; };
    const auto send = [](const FloorTimings& t) { return t.writeToServer.sendAndCommit; };
    const auto programWrite = [](const ProgramTimings& t) { return t.writeToServer; };
    const auto programWhole = [](const ProgramTimings& t) { return t.wholeRun; };
    const auto median = [&](const FloorFigure& floor) {
        QList<double> values;
        for (const FloorTimings& t : results.floors) values << floor(t);
        return Median(values);
    };

    Rows rows;
    rows.checksFloors = results.rowsPerTable >= FewestCheckedRows;
    const auto copy = [&](const QString& name, const ProgramFigure& program,
                          const std::function<CopyFloorTimes(const FloorTimings&)>& floor) {
        rows.phase(
            name + QStringLiteral(" vs the slower of read and insert"),
            medians(results, program, [&](const FloorTimings& t) { return floor(t).overlapped(); }),
            1.2);
        rows.part(QStringLiteral("bound read alone"),
                  median([&](const FloorTimings& t) { return floor(t).read; }));
        rows.part(QStringLiteral("prepared insert alone"),
                  median([&](const FloorTimings& t) { return floor(t).insert; }));
        rows.part(QStringLiteral("read and insert in turn"),
                  median([&](const FloorTimings& t) { return floor(t).inTurn(); }));
    };
    copy(
        QStringLiteral("copy table 1"), [](const ProgramTimings& t) { return t.copyTable1; },
        copy1);
    copy(
        QStringLiteral("copy table 2"), [](const ProgramTimings& t) { return t.copyTable2; },
        copy2);
    rows.phase(QStringLiteral("indexes + join + staging (the sqlite3 shell)"),
               medians(
                   results, [](const ProgramTimings& t) { return t.indexesJoinStaging; }, join),
               0);
    rows.phase(QStringLiteral("write vs the send and commit alone (arrays of %1 rows, a commit "
                              "each)")
                   .arg(QLocale(QLocale::English).toString(WriteFloorRowsPerArray)),
               medians(results, programWrite, send), 1.1);
    rows.part(QStringLiteral("arrays read and sent in turn"),
              median([](const FloorTimings& t) { return t.writeToServer.whole; }));
    rows.phase(QStringLiteral("whole run vs the sum of the overlapped floors"),
               medians(results, programWhole,
                       [&](const FloorTimings& t) {
                           return copy1(t).overlapped() + copy2(t).overlapped() + join(t) + send(t);
                       }),
               1.15);
    rows.part(QStringLiteral("the floors in turn"), median([&](const FloorTimings& t) {
                  return copy1(t).inTurn() + copy2(t).inTurn() + join(t) + t.writeToServer.whole;
              }));
    if (results.replay)
        rows.information(
            QStringLiteral("write vs psql, an INSERT a row"),
            medians(results, programWrite, [](const FloorTimings& t) { return t.psqlInserts; }));
    rows.information(
        QStringLiteral("write vs psql's COPY"),
        medians(results, programWrite, [](const FloorTimings& t) { return t.psqlCopy; }));

    const QList<ProgramMeasurement>& p = results.programRuns;
    QList<double> peaks;
    for (const ProgramMeasurement& m : p) peaks << double(m.peakResidentKiB) / 1024.0;
    const LongestStretch withCalls = longestStretch(p, &ProgramMeasurement::withCalls);
    const LongestStretch outsideCalls = longestStretch(p, &ProgramMeasurement::outsideCalls);
    const LongestStretch connecting = longestStretch(p, &ProgramMeasurement::connecting);
    const double peak = Median(peaks);
    rows.figure(QStringLiteral("peak memory of the program (VmHWM)"),
                QStringLiteral("%1 MiB").arg(peak, 0, 'f', 1), QStringLiteral("at most 40 MB"),
                peak * 1024 * 1024 <= 40e6);
    rows.figure(QStringLiteral("window unserved, driver calls included (max of all runs)"),
                millis(withCalls.stretch.milliseconds), QStringLiteral("at most 50 ms"),
                withCalls.stretch.milliseconds <= 50);
    rows.figure(QStringLiteral("window unserved, outside driver calls (max of all runs)"),
                millis(outsideCalls.stretch.milliseconds));
    rows.figure(QStringLiteral("window unserved while connecting (max of all runs)"),
                millis(connecting.stretch.milliseconds));
    rows.information(QStringLiteral("whole run vs the server's CREATE TABLE AS"),
                     medians(results, programWhole,
                             [](const FloorTimings& t) { return t.serverCreateTableAs; }));

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
    text += table(rows.cells);
    text += QStringLiteral("\nDriver calls included: %1.\n").arg(places(withCalls));
    text += QStringLiteral("Outside driver calls: %1.\n").arg(places(outsideCalls));
    text += QStringLiteral("Connecting: %1.\n").arg(places(connecting));
    text +=
        QStringLiteral(
            "A floor is the least its phase's work costs: a ratio under %1 means it leaves "
            "out part of the work, and is shown as a floor to mend, not as a result. "
            "Floors are checked from %2 rows a table on, and when they take %3 s or more.\n")
            .arg(ratioText(LowestFloorRatio), QLocale(QLocale::English).toString(FewestCheckedRows))
            .arg(ShortestCheckedFloor, 0, 'f', 2);
    if (!rows.floorsToMend.isEmpty())
        text += QStringLiteral("Floors to mend: %1.\n")
                    .arg(rows.floorsToMend.join(QStringLiteral("; ")));
    return {text, rows.floorsToMend};
}

}  // namespace bench
