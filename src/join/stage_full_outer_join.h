#pragma once

#include <QString>

#include "db/connection.h"

class RunContext;

// Fills the staging table `target`, whose columns are those of the join, with
// the full outer join of the copies Table1 and Table2 on the two fields. The
// rows go in a stretch of the copies at a time, each stretch one statement
// that commits by itself, so what was staged before a failure stays and the
// staging file's log never grows with the whole result. Failures travel to
// the caller.
void StageFullOuterJoin(db::Connection& staging, const QString& target, const QString& field1,
                        const QString& field2, RunContext& context);
