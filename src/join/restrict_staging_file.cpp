#include "join/restrict_staging_file.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>

#include "base/create_owner_only_file.h"
#include "base/failure.h"
#include "base/narrow_to_owner.h"

namespace {
bool isLink(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}
}  // namespace

void RestrictStagingFile(const QString& path) {
    const QStringList files = {path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm"),
                               path + QStringLiteral("-journal")};
    // SQLite would write the user's rows through a link to wherever it points.
    for (const QString& file : files)
        if (isLink(file))
            throw Failure(QStringLiteral("The staging file ") + file +
                          QStringLiteral(" is a symbolic link; the staging file is never "
                                         "written through one."));
    CreateOwnerOnlyFile(path);
    // Regular files only: a folder standing in the file's place keeps its
    // rights and fails the open as it did.
    for (const QString& file : files)
        if (QFileInfo(file).isFile()) NarrowToOwner(file);
}
