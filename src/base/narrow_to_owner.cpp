#include "base/narrow_to_owner.h"

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
