#pragma once

#include "report.h"

namespace bench {

struct BenchOptions {
    qint64 rowsPerTable = 0;
    int runs = 3;
    bool keep = false;   // leave the login and the work folder for a look afterwards
    int busy = 0;        // CPU-bound processes spinning beside each run
    bool replay = true;  // time psql replaying one INSERT a row (slow at a million rows)
};

// Makes a fresh login with the two source tables, then measures the floors
// and the program's run, interleaved: each run measures every floor and the
// program one after the other, each in a process of its own, so a drift of
// the machine falls on all alike; odd runs start with the program, even ones
// with the floors, so neither always finds the machine as the other left it.
// `busy` processes spin from the start of each run to its end. Each run's
// program table is checked against the server's own join. Progress goes to
// stderr.
BenchResults RunBench(const BenchOptions& options);

}  // namespace bench
