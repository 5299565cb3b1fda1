#pragma once

#include <QString>

// The per-user store of the last login: application "Varnholt", section
// "Quillmere Software", one text per key. Values are kept exactly as given.
namespace SettingsStore {

inline QString OracleSID() { return QStringLiteral("OracleSID"); }
inline QString OracleUser() { return QStringLiteral("OracleUser"); }
inline QString OraclePassword() { return QStringLiteral("OraclePassword"); }

// The stored text, or the default when the key is missing.
QString read(const QString& key, const QString& defaultValue = {});

// Stores the text at once and flushes it to disk, so a crash loses nothing.
// The file holds a password in the clear: only its owner may read it.
void write(const QString& key, const QString& text);

// The file behind the store.
QString fileName();

}  // namespace SettingsStore
