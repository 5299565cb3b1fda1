#pragma once

#include <QString>

#include "db/connection.h"

class RunContext;

// A read/write connection to the staging file at path, through the staging
// connection string: how every staging routine reaches the file. While the
// file is locked by another connection, the wait yields to context (if any).
db::Connection OpenStagingDatabase(const QString& path, RunContext* context = nullptr);
