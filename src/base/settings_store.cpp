#include "base/settings_store.h"

#include <QFileInfo>
#include <QSettings>

#include "base/create_owner_only_file.h"
#include "base/make_owner_only_path.h"
#include "base/narrow_to_owner.h"
#include "base/product.h"

namespace SettingsStore {
namespace {

QSettings store() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Varnholt"));
}

// Creates the file readable by its owner alone before any value goes in, so
// the password is never on disk with wider rights; a file left wider by
// anyone else is narrowed.
void restrictFile(const QString& path) {
    MakeOwnerOnlyPath(QFileInfo(path).absolutePath());
    CreateOwnerOnlyFile(path);
    NarrowToOwner(path);
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
