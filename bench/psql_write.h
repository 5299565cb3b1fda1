#pragma once

#include <QString>

namespace bench {

class StandinLogin;

// The files psql writes the staged result with, for the information lines
// beside the write floor: one INSERT per row replayed, and COPY from CSV.
struct PsqlWriteFiles {
    QString insertScript;  // CREATE TABLE, then one INSERT per row; empty: not written
    QString copyScript;    // CREATE TABLE, then \copy from copyData
    QString copyData;      // the rows as CSV
};

// Writes `files` from the rows of `stagedTable`: each script makes its own
// table (every column VARCHAR(2000)), an empty value or a Null goes as NULL.
// Returns the number of rows.
qint64 WritePsqlFiles(const QString& stagingPath, const QString& stagedTable,
                      const QString& insertTable, const QString& copyTable,
                      const PsqlWriteFiles& files);

// psql running `script` in one transaction. Returns psql's seconds,
// connecting included. The script's table must not exist yet.
double RunPsqlScript(const StandinLogin& login, const QString& script);

}  // namespace bench
