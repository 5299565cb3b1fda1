#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

// Gives the test program a home folder of its own for as long as it runs:
// HOME and the XDG folders point into a temporary folder, removed at exit, so
// nothing the tests write through them (QStandardPaths' test mode under
// ~/.qttest, the log under $XDG_STATE_HOME, caches of Qt's own) is left in
// the user's home. Called first in main, or from the test class's initMain(),
// before the application object reads any of them. A test program that a
// test starts again as a child keeps its parent's home: the child may end
// without running its destructors, and the parent removes the folder.
inline void UsePrivateHome() {
    constexpr const char* Marker = "QM_TEST_PRIVATE_HOME";
    if (qEnvironmentVariableIsSet(Marker) && qgetenv(Marker) == qgetenv("HOME")) return;
    static QTemporaryDir home(QDir::tempPath() + QStringLiteral("/qm-test-home-XXXXXX"));
    if (!home.isValid()) qFatal("No temporary home folder: %s", qPrintable(home.errorString()));
    const auto point = [](const char* variable, const QString& path) {
        qputenv(variable, QFile::encodeName(path));
    };
    point("HOME", home.path());
    point("XDG_CONFIG_HOME", home.filePath(QStringLiteral(".config")));
    point("XDG_DATA_HOME", home.filePath(QStringLiteral(".local/share")));
    point("XDG_STATE_HOME", home.filePath(QStringLiteral(".local/state")));
    point("XDG_CACHE_HOME", home.filePath(QStringLiteral(".cache")));
    point(Marker, home.path());
}
