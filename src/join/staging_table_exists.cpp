#include "join/staging_table_exists.h"

#include "base/failure.h"
#include "db/connection.h"
#include "db/quoted_names.h"
#include "join/open_staging_database.h"

bool StagingTableExists(const QString& path, const QString& table) {
    try {
        db::Connection staging = OpenStagingDatabase(path);
        // The catalogue, with the name as a literal, works for every name; a
        // bracketed or quoted name cannot hold every character.
        db::ResultSet found = staging.query(
            QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ") +
            QuotedText(table) + QStringLiteral(" COLLATE NOCASE"));
        return found.next();
    } catch (const Failure&) {
        return false;
    }
}
