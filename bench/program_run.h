#pragma once

#include "bench_setup.h"

// Seconds each phase of the program's join run took, from the times the run
// began its numbered lines.
struct ProgramTimings {
    double copyTable1 = 0;
    double copyTable2 = 0;
    double indexesJoinStaging = 0;  // indexes on the join fields, the join, the staged result
    double writeToServer = 0;       // the new table made and filled on the server
    double wholeRun = 0;            // from the click to the end of the run
};

// The set-up window's login check, which loads the driver before any run
// can start; the floors' processes load it too. Not part of the run.
void LogIn(const BenchSetup& setup);

// One join run of the program against `setup`, as its click handler runs it.
// Runs in a child process of its own (`qm_bench --program`), inside its event
// loop, with the event-loop monitor ticking: the run's hooks name each step
// with BenchWhere() and tell it of each driver call.
ProgramTimings RunProgram(const BenchSetup& setup);
