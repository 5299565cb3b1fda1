#include "base/settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "base/product.h"

namespace SettingsStore {
namespace {

constexpr QFileDevice::Permissions OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QSettings store() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Varnholt"));
}

// Creates the file readable by its owner alone before any value goes in, so
// the password is never on disk with wider rights.
void restrictFile(const QString& path) {
    QFileInfo info(path);
    if (!info.exists()) {
        QDir().mkpath(info.absolutePath());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Append, OwnerOnly)) file.close();
    }
    QFile::setPermissions(path, OwnerOnly);
}

}  // namespace

QString fileName() { return store().fileName(); }

QString read(const QString& key, const QString& defaultValue) {
    QSettings settings = store();
    settings.beginGroup(ProductTitle());
    return settings.value(key, defaultValue).toString();
}

void write(const QString& key, const QString& text) {
    QSettings settings = store();
    restrictFile(settings.fileName());
    settings.beginGroup(ProductTitle());
    settings.setValue(key, text);
    settings.endGroup();
    settings.sync();
    restrictFile(settings.fileName());
}

}  // namespace SettingsStore
