#pragma once

#include "report.h"

namespace bench {

struct BenchOptions {
    qint64 rowsPerTable = 0;
    int runs = 3;
    bool keep = false;  // leave the login and the work folder for a look afterwards
};

// Makes a fresh login with the two source tables, then measures the floors
// and the program's run, interleaved: floors, program, floors, program... so
// a drift of the machine falls on both alike. Progress goes to stderr.
BenchResults RunBench(const BenchOptions& options);

}  // namespace bench
