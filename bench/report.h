#pragma once

#include <QList>
#include <QString>

#include "program_child.h"

namespace bench {

// The floors of one run, in seconds.
struct FloorTimings {
    double copyTable1 = 0;
    double copyTable2 = 0;
    double indexesJoinStaging = 0;
    double writeToServer = 0;  // parameter arrays of 1,000 rows, a commit each
    double psqlInserts = 0;    // information: psql replaying one INSERT a row
    double psqlCopy = 0;       // information: psql's COPY from CSV
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

// The table of medians: each phase of the program beside its floor, with
// the median of the ratios taken within each run; the window's stalls are
// the longest of all runs, since one stall is what a user feels.
QString FormatReport(const BenchResults& results);

}  // namespace bench
