#pragma once

#include <QString>

namespace bench {

// The floor of writing the result to the server: the staged rows of
// `stagedTable` read from the SQLite file at `stagingPath` and sent through
// the ODBC driver as column-wise parameter arrays of 1,000 rows to one
// prepared INSERT into `serverTable` (every column VARCHAR(2000), made
// first), one commit per array, an empty value sent as NULL. Returns the
// seconds from connecting to the last commit; the table must not exist yet.
double WriteFloor(const QString& connectionString, const QString& stagingPath,
                  const QString& stagedTable, const QString& serverTable);

}  // namespace bench
