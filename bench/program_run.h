#pragma once

#include "bench_setup.h"

// Seconds each phase of the program's join run took, as the program's run
// measured them. `measured` stays false while the run is not wired in, and
// the report then leaves the program's column empty.
struct ProgramTimings {
    bool measured = false;
    double copyTable1 = 0;
    double copyTable2 = 0;
    double indexesJoinStaging = 0;  // indexes on the join fields, the join, the staged result
    double writeToServer = 0;       // the new table made and filled on the server
    double wholeRun = 0;            // from the click to the end of the run
};

// One join run of the program against `setup`. Runs in a child process of
// its own (`qm_bench --program`), inside its event loop, with the event-loop
// monitor ticking: the run's hooks should name each step with BenchWhere().
ProgramTimings RunProgram(const BenchSetup& setup);
