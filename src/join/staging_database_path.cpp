#include "join/staging_database_path.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
const QString FileName = QStringLiteral("temp.mdb");
}

QString StagingDatabasePath(const QString& programFolder) {
    // SQLite writes its journal beside the file, so the folder itself must be
    // writable, not just the file.
    const QFileInfo folder(programFolder);
    if (!programFolder.isEmpty() && folder.isDir() && folder.isWritable())
        return QDir(programFolder).filePath(FileName);
    const QString dataFolder =
        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    // A folder that cannot be made shows up as the staging open's own failure.
    QDir().mkpath(dataFolder);
    return QDir(dataFolder).filePath(FileName);
}
