#pragma once

#include <QString>

#include "copy_floor.h"
#include "write_floor.h"

namespace bench {

// A floor that goes through the ODBC driver, to be run in a process of its
// own as the program's run is, so neither finds the other's memory or
// connections warm.
struct FloorJob {
    enum class Kind { Copy, Write };
    Kind kind = Kind::Copy;
    QString connectionString;
    QString serverTable;   // the copy's source, or the table the write makes
    QString stagingPath;   // the file the copy makes, or the one the write reads
    QString stagingTable;  // the table in that file
};

// Runs a copy or a write `job` in a child process (`qm_bench --floor
// FOLDER`); returns what it took. `folder` receives the files passed between
// the two; it must exist.
CopyFloorTimes MeasureCopyFloor(const FloorJob& job, const QString& folder);
WriteFloorTimes MeasureWriteFloor(const FloorJob& job, const QString& folder);

// The child's side: runs the job left in FOLDER and leaves its seconds there.
// Returns the process's exit code.
int RunFloorChild(const QString& folder);

}  // namespace bench
