#include "base/file_exists.h"

#include <QFileInfo>

bool FileExists(const QString& path) noexcept {
    try {
        if (path.isEmpty()) return false;
        // Asking for the last-modified time succeeds only for a path that is there.
        const QFileInfo info(path);
        return info.exists() && info.lastModified().isValid();
    } catch (...) {
        return false;
    }
}
