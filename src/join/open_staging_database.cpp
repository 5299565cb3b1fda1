#include "join/open_staging_database.h"

#include "join/restrict_staging_file.h"
#include "join/staging_connection_string.h"

db::Connection OpenStagingDatabase(const QString& path) {
    RestrictStagingFile(path);
    db::Connection staging;
    staging.setMode(db::Mode::ReadWrite);
    staging.open(StagingConnectionString(path));
    return staging;
}
