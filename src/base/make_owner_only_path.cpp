#include "base/make_owner_only_path.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

void MakeOwnerOnlyPath(const QString& folder) {
    QStringList missing;
    for (QString level = QDir::cleanPath(folder); !QFileInfo::exists(level);) {
        missing.prepend(level);
        const QString parent = QFileInfo(level).path();
        if (parent == level) break;
        level = parent;
    }
    for (const QString& level : missing)
        if (!QDir().mkdir(level,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner))
            return;
}
