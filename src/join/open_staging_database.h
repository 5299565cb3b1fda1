#pragma once

#include <QString>

#include "db/connection.h"

// A read/write connection to the staging file at path, through the staging
// connection string: how every staging routine reaches the file.
db::Connection OpenStagingDatabase(const QString& path);
