#pragma once

#include <QString>

// True when the staging file holds a table of that name, the case of ASCII
// letters ignored as SQLite ignores it in table names. Any failure (no file,
// a file that is no database) answers false.
bool StagingTableExists(const QString& path, const QString& table);
