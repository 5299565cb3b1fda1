#pragma once

#include <QList>
#include <QString>

#include "copy_floor.h"
#include "program_child.h"
#include "write_floor.h"

namespace bench {

// The floors of one run, in seconds.
struct FloorTimings {
    CopyFloorTimes copyTable1;
    CopyFloorTimes copyTable2;
    double indexesJoinStaging = 0;
    WriteFloorTimes writeToServer;
    double psqlInserts = 0;  // information: psql replaying one INSERT a row
    double psqlCopy = 0;     // information: psql's COPY from CSV
    double serverCreateTableAs = 0;
};

struct BenchResults {
    qint64 rowsPerTable = 0;
    qint64 joinedRows = 0;
    QString sqliteVersion;
    QString psqlVersion;
    QString serverSettings;                 // how durably the server commits
    int busyProcesses = 0;                  // spinning beside every run (--busy)
    bool replay = true;                     // psql's INSERT-a-row replay was run
    QList<FloorTimings> floors;             // one per run
    QList<ProgramMeasurement> programRuns;  // one per run
    QList<double> loadAverages;             // 1-minute, at the end of each run
};

// The middle value; the mean of the two middle ones for an even count.
double Median(QList<double> values);

// A floor the program ran under 0.95x of leaves out part of the work and
// says nothing about how far the program is from the limit. Smaller tables
// and shorter floors are not checked: a few milliseconds of start-up or of
// the machine's noise would decide their ratios.
constexpr double LowestFloorRatio = 0.95;
constexpr qint64 FewestCheckedRows = 10000;
constexpr double ShortestCheckedFloor = 0.25;

struct Report {
    QString text;
    // "copy table 1 at 0.87x" for each floor the program ran under, when
    // long enough to tell.
    QStringList floorsToMend;
};

// The table of medians: each phase of the program beside its floor, with
// the median of the ratios taken within each run and the goal it is held
// to; the window's stalls are the longest of all runs, since one stall is
// what a user feels.
Report MakeReport(const BenchResults& results);

}  // namespace bench
