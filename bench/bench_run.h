#pragma once

#include "report.h"

namespace bench {

struct BenchOptions {
    qint64 rowsPerTable = 0;
    int runs = 3;
    bool keep = false;  // leave the login and the work folder for a look afterwards
};

// Makes a fresh login with the two source tables, then measures the floors
// and the program's run, interleaved: each run measures every floor and the
// program one after the other, each in a process of its own, so a drift of
// the machine falls on all alike, and checks the program's table against the
// server's own join. Progress goes to stderr.
BenchResults RunBench(const BenchOptions& options);

}  // namespace bench
