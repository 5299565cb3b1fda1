#include "join/make_column_varchar.h"

#include "db/connection.h"
#include "db/quoted_names.h"
#include "join/open_staging_database.h"

// SQLite has no ALTER COLUMN, and needs none here: the copy makes every
// column TEXT, so the join already compares the field's values as text, and
// a bounded type would only cut long keys and match rows that differ. What
// the join needs is the field to exist and an index on it. Creating the index
// checks the first (SQLite answers "no such column" itself) and gives the
// second. Dropping the table drops its indexes, so a new copy starts bare.
void MakeColumnVarchar(const QString& table, const QString& field, const QString& path,
                       RunContext* context) {
    db::Connection staging = OpenStagingDatabase(path, context);
    const QString index = QStringLiteral("%1 (join field %2)").arg(table, field);
    staging.execute(QStringLiteral("CREATE INDEX IF NOT EXISTS ") + StagingName(index) +
                    QStringLiteral(" ON ") + StagingName(table) + QLatin1Char('(') +
                    StagingName(field) + QLatin1Char(')'));
}
