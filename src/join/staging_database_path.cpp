#include "join/staging_database_path.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "base/make_owner_only_path.h"
#include "base/narrow_to_owner.h"
#include "base/program_files.h"

namespace {

const QString FileName = QStringLiteral("temp.mdb");

bool isSameOrInside(const QString& folder, const QString& outer) {
    const QString inner = QFileInfo(folder).canonicalFilePath();
    const QString canonicalOuter = QFileInfo(outer).canonicalFilePath();
    return !inner.isEmpty() && !canonicalOuter.isEmpty() &&
           (inner == canonicalOuter || inner.startsWith(canonicalOuter + QLatin1Char('/')));
}

}  // namespace

QString StagingDatabasePath(const QString& programFolder) {
    // SQLite writes its journal beside the file, so the folder itself must be
    // writable, not just the file. An installed program never writes beside
    // itself, even where it could (run as root).
    const QFileInfo folder(programFolder);
    if (!programFolder.isEmpty() && folder.isDir() && folder.isWritable() &&
        !ProgramInstalled(programFolder))
        return QDir(programFolder).filePath(FileName);
    const QString dataFolder =
        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    // A folder that cannot be made shows up as the staging open's own failure.
    MakeOwnerOnlyPath(dataFolder);
    // The folder is the program's own, so rights wider than the owner's (left
    // by an earlier version) are taken away; never where the program itself
    // lives.
    if (QFileInfo(dataFolder).isDir() && !isSameOrInside(programFolder, dataFolder))
        NarrowToOwner(dataFolder);
    return QDir(dataFolder).filePath(FileName);
}
