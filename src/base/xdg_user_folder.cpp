#include "base/xdg_user_folder.h"

#include <QDir>

#include "base/failure.h"

namespace {
// Qt counts ":name" (a resource) as absolute too; a folder on disk is not one.
bool isAbsolute(const QString& path) { return path.startsWith(QLatin1Char('/')); }
}  // namespace

QString XdgUserFolder(const char* variable, const QString& belowHome) {
    const QString own = qEnvironmentVariable(variable);
    if (isAbsolute(own)) return QDir::cleanPath(own);
    const QString home = qEnvironmentVariable("HOME");
    if (!isAbsolute(home))
        throw Failure(QStringLiteral("No folder for the program's files: neither ") +
                      QString::fromLatin1(variable) +
                      QStringLiteral(" nor HOME is set to an absolute path."));
    return QDir::cleanPath(home + QLatin1Char('/') + belowHome);
}
