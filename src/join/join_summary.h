#pragma once

#include <QString>
#include <QtGlobal>

// What one join run did: -1 is a count the run did not reach.
struct JoinSummary {
    enum Phase { Copy, Join, Stage, Write, PhaseCount };

    QString table1, table2, newTable;
    qint64 copied1 = -1, copied2 = -1, staged = -1, written = -1;
    double seconds[PhaseCount] = {0, 0, 0, 0};
    // Why an overwritten table kept its old rows; empty when it did not.
    QString oldTableKept;

    qint64 missing() const { return staged < 0 || written < 0 ? -1 : staged - written; }
};

// How a run ended, for a caller that reports it (the join command).
struct JoinRunResult {
    enum class Ending {
        NotStarted,   // a selection was missing: nothing was done
        StagingBusy,  // another join held the staging file: nothing was done
        Ran,          // the run began; the summary says how far it got
    };
    Ending ending = Ending::NotStarted;
    JoinSummary summary;
};
