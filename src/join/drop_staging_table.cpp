#include "join/drop_staging_table.h"

#include "base/failure.h"
#include "db/connection.h"
#include "db/quoted_names.h"
#include "join/open_staging_database.h"

void DropStagingTable(const QString& table, const QString& path) {
    db::Connection staging = OpenStagingDatabase(path);
    try {
        staging.execute(QStringLiteral("DROP TABLE ") + StagingName(table));
    } catch (const Failure&) {
        // A missing table needs no drop.
    }
}
