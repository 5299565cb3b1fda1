#pragma once

#include <QString>

#include "oracle/oracle_login.h"

class RunContext;

// Copies every column and row of an Oracle table into a staging table of the
// given name, replacing one that is there. Every column becomes TEXT; a Null
// or empty value becomes NULL, any other value its text, unchanged. Rows are
// streamed, never held whole (the next block is fetched while one is
// stored), and go in through one prepared insert, committed a stretch at a
// time. The run context is yielded to throughout the copy. Failures travel
// to the caller; what was copied before one stays. Returns the number of rows copied.
qint64 CopyOracleTable(const OracleLogin& login, const QString& oracleTable,
                       const QString& stagingTable, const QString& path, RunContext& context);
