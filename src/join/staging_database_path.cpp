#include "join/staging_database_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/failure.h"
#include "base/make_owner_only_path.h"
#include "base/program_files.h"
#include "base/xdg_user_folder.h"

namespace {

const QString FileName = QStringLiteral("temp.mdb");

// Whoever could swap the folder, or files in it, could send the staging
// file's writes (root's too) anywhere: the folder must be a real one of the
// user's own. One that is missing shows up as the staging open's own failure.
void requireOwnFolder(const QString& folder) {
    struct stat info {};
    if (::lstat(QFile::encodeName(folder).constData(), &info) != 0) return;
    if (S_ISLNK(info.st_mode))
        throw Failure(QStringLiteral("The staging folder ") + folder +
                      QStringLiteral(" is a symbolic link; the staging file is never kept "
                                     "behind one."));
    if (info.st_uid != ::geteuid())
        throw Failure(QStringLiteral("The staging folder ") + folder +
                      QStringLiteral(" belongs to another user; the staging file is kept only "
                                     "in a folder of the user's own."));
}

}  // namespace

QString StagingDatabasePath(const QString& programFolder) {
    // SQLite writes its journal beside the file, so the folder itself must be
    // writable, not just the file. An installed program never writes beside
    // itself, even where it could (run as root). Whoever may change the
    // program folder may change the program too: that folder needs no check.
    const QFileInfo folder(programFolder);
    if (!programFolder.isEmpty() && folder.isDir() && folder.isWritable() &&
        !ProgramInstalled(programFolder))
        return QDir(programFolder).filePath(FileName);
    const QString dataFolder = XdgUserFolder("XDG_DATA_HOME", QStringLiteral(".local/share")) +
                               QStringLiteral("/quillmere");
    // Levels made here are the owner's alone; a folder that was there keeps
    // its rights, as the user (or another program) set them.
    MakeOwnerOnlyPath(dataFolder);
    requireOwnFolder(dataFolder);
    return dataFolder + QLatin1Char('/') + FileName;
}
