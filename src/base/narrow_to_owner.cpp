#include "base/narrow_to_owner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

void NarrowToOwner(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0) return;
    if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) return;
    if (info.st_uid != ::geteuid()) return;
    const mode_t rights = info.st_mode & 07777;
    if ((rights & 077) == 0) return;
    // A link put in its place meanwhile is left alone, not followed. A path
    // that cannot be narrowed keeps its rights, as the checks above leave
    // others; glibc's fortified build insists the result be looked at.
    if (::fchmodat(AT_FDCWD, name.constData(), rights & 0700, AT_SYMLINK_NOFOLLOW) != 0) return;
}
