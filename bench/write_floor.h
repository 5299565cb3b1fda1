#pragma once

#include <QString>

namespace bench {

// What the write floor took, in seconds.
struct WriteFloorTimes {
    // From connecting to the last commit, the staged rows read as it goes;
    // the CREATE TABLE is left out.
    double whole = 0;
    // The driver's SQLExecute and commit of each array alone, its rows
    // already read and in their buffers before its clock starts: the least
    // a writer that reads the next array while one is with the server pays.
    double sendAndCommit = 0;
};

// Rows in each parameter array of the write floor: as many as the program's
// largest batch, so the floor commits no more often than the program does.
constexpr int WriteFloorRowsPerArray = 1024;

// The floor of writing the result to the server: the staged rows of
// `stagedTable` read from the SQLite file at `stagingPath` and sent through
// the ODBC driver as column-wise parameter arrays to one prepared INSERT
// into `serverTable` (every column VARCHAR(2000), made first), one commit per
// array, an empty value sent as NULL. The arrays are bound once, into
// buffers as wide as each column's longest staged value; the rows are
// decoded from the file's UTF-8 straight into them. The table must not
// exist yet.
WriteFloorTimes WriteFloor(const QString& connectionString, const QString& stagingPath,
                           const QString& stagedTable, const QString& serverTable);

}  // namespace bench
