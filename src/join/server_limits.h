#pragma once

#include <QString>

#include "base/failure.h"
#include "db/values.h"

struct JoinChoice;
class RunContext;

// A join or a name beyond what the server takes: refused before the work
// that the server would refuse at its end.
class ServerLimitExceeded final : public Failure {
public:
    using Failure::Failure;
};

// The server's limits, asked of it before anything is copied; throws
// ServerLimitExceeded when the joined table would have more columns than a
// table takes, or a column name, duplicate suffix and all, longer than a
// column name may be. The fields come from the catalogue, as the copy will
// find them; a table whose fields cannot be read is left to its copy.
db::ServerLimits CheckJoinWithinServerLimits(const JoinChoice& choice, RunContext& context);

// Throws ServerLimitExceeded when the table name is longer than the limits
// allow.
void CheckTableNameWithinServerLimits(const db::ServerLimits& limits, const QString& name);
