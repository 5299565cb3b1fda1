#pragma once

#include <QString>

namespace bench {

// What the copy floor took, in seconds: its two halves, each timed alone
// though they run in turn, block by block.
struct CopyFloorTimes {
    // Connecting, the SELECT and every SQLFetch into the bound buffers, and
    // the disconnect.
    double read = 0;
    // Opening the file, making the table, each fetched block's values made
    // UTF-8, bound and inserted, the commit and the file's close.
    double insert = 0;

    double inTurn() const { return read + insert; }
    // The least a copy that reads the next block while it inserts one pays.
    double overlapped() const { return read > insert ? read : insert; }
};

// The floor of copying one server table into the staging file: `SELECT *`
// read through the ODBC driver in blocks of bound UTF-16 buffers, written to
// a fresh SQLite file at `path` as `stagingTable` (all columns TEXT) by one
// prepared INSERT inside one transaction.
CopyFloorTimes CopyFloor(const QString& connectionString, const QString& serverTable,
                         const QString& stagingTable, const QString& path);

}  // namespace bench
