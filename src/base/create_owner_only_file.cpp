#include "base/create_owner_only_file.h"

#include <QFile>
#include <QFileInfo>

void CreateOwnerOnlyFile(const QString& path) {
    if (QFileInfo::exists(path)) return;
    QFile file(path);
    // NewOnly: never through a link, never over a file made meanwhile.
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                  QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        file.close();
}
