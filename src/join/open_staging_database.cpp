#include "join/open_staging_database.h"

#include "join/restrict_staging_file.h"
#include "join/staging_connection_string.h"

db::Connection OpenStagingDatabase(const QString& path, RunContext* context) {
    RestrictStagingFile(path);
    db::Connection staging;
    staging.setMode(db::Mode::ReadWrite);
    staging.setRunContext(context);
    staging.open(StagingConnectionString(path));
    return staging;
}
