#pragma once

#include <QString>

namespace bench {

// The floor of copying one server table into the staging file: `SELECT *`
// read through the ODBC driver in blocks of bound UTF-16 buffers, written to
// a fresh SQLite file at `path` as `stagingTable` (all columns TEXT) by one
// prepared INSERT inside one transaction. Returns the seconds it took, from
// connecting to the file's close.
double CopyFloor(const QString& connectionString, const QString& serverTable,
                 const QString& stagingTable, const QString& path);

}  // namespace bench
