#include "base/program_files.h"

#include <QDir>
#include <QFileInfo>

QString SharedDataFolder(const QString& programFolder) {
    return QDir::cleanPath(programFolder + QStringLiteral("/../share/quillmere"));
}

bool ProgramInstalled(const QString& programFolder) {
    if (programFolder.isEmpty()) return false;
    return QFileInfo(QDir::cleanPath(programFolder)).fileName() == QStringLiteral("bin") &&
           QFileInfo(SharedDataFolder(programFolder)).isDir();
}

QString ProgramFilePath(const QString& programFolder, const QString& name) {
    const QString own = programFolder + QLatin1Char('/') + name;
    if (QFileInfo::exists(own)) return own;
    const QString shared = SharedDataFolder(programFolder) + QLatin1Char('/') + name;
    return QFileInfo::exists(shared) ? shared : own;
}

QString HandPointerFile(const QString& programFolder) {
    return ProgramFilePath(programFolder, QStringLiteral("HAND-M.CUR"));
}
