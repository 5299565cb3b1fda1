#pragma once

#include <QString>

#include "event_loop_monitor.h"
#include "program_run.h"

namespace bench {

// One run of the program as the bench sees it from outside.
struct ProgramMeasurement {
    ProgramTimings timings;
    qint64 peakResidentKiB = 0;  // the child's VmHWM
    UnservedStretch withCalls;
    UnservedStretch outsideCalls;
    UnservedStretch connecting;
};

// Runs the program once in a child process of its own, so its peak memory is
// its own and not the bench's. `folder` receives the files passed between
// the two; it must exist.
ProgramMeasurement MeasureProgram(const BenchSetup& setup, const QString& folder);

// The child's side (`qm_bench --program FOLDER`): runs RunProgram inside the
// event loop with the monitor ticking and leaves the measurement in FOLDER.
// Needs a QCoreApplication; returns the process's exit code.
int RunProgramChild(const QString& folder);

}  // namespace bench
