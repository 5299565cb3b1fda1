#include "join/restrict_staging_file.h"

#include <QFile>
#include <QFileInfo>

namespace {
constexpr QFileDevice::Permissions OwnerRights =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
constexpr QFileDevice::Permissions WiderRights = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                 QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                 QFileDevice::WriteOther | QFileDevice::ExeOther;
}  // namespace

void NarrowToOwner(const QString& path) {
    const QFileDevice::Permissions rights = QFileInfo(path).permissions();
    if (rights & WiderRights) QFile::setPermissions(path, rights & OwnerRights);
}

void RestrictStagingFile(const QString& path) {
    if (!QFileInfo::exists(path)) {
        QFile file(path);
        // NewOnly: never through a link, never over a file made meanwhile.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                      QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            file.close();
    }
    // Regular files only: a folder standing in the file's place keeps its
    // rights and fails the open as it did.
    for (const QString& suffix :
         {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")})
        if (QFileInfo(path + suffix).isFile()) NarrowToOwner(path + suffix);
}
