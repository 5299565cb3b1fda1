#include "join/restrict_staging_file.h"

#include <QFileInfo>

#include "base/create_owner_only_file.h"
#include "base/narrow_to_owner.h"

void RestrictStagingFile(const QString& path) {
    CreateOwnerOnlyFile(path);
    // Regular files only: a folder standing in the file's place keeps its
    // rights and fails the open as it did.
    for (const QString& suffix :
         {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")})
        if (QFileInfo(path + suffix).isFile()) NarrowToOwner(path + suffix);
}
