#pragma once

#include <QString>

namespace bench {

class StandinLogin;

// The statement texts the program sends to write the staged result: the
// CREATE TABLE with every column VARCHAR(2000), then one INSERT per row of
// `stagedTable`, an empty value or a Null as NULL. Written to `scriptPath`,
// one statement a line; returns the number of rows.
qint64 WriteInsertScript(const QString& stagingPath, const QString& stagedTable,
                         const QString& serverTable, const QString& scriptPath);

// The floor of writing to the server: psql replaying the script in one
// transaction. Returns psql's seconds, connecting included. The script's
// table must not exist yet.
double WriteFloor(const StandinLogin& login, const QString& scriptPath);

}  // namespace bench
