#include "db/connection_string_attributes.h"

namespace {

bool isSecretName(const QString& name) {
    return name.compare(QStringLiteral("Pwd"), Qt::CaseInsensitive) == 0 ||
           name.compare(QStringLiteral("Password"), Qt::CaseInsensitive) == 0;
}

// Calls visit(name, value, start, end) for each attribute, [start, end) being
// where its value is written (braces included); stops when visit says so.
template <typename Visit>
void forEachAttribute(const QString& connectionString, Visit&& visit) {
    const qsizetype n = connectionString.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype eq = connectionString.indexOf(QLatin1Char('='), i);
        if (eq < 0) break;
        const QString name = connectionString.mid(i, eq - i).trimmed();
        QString value;
        qsizetype j = eq + 1;
        if (j < n && connectionString.at(j) == QLatin1Char('{')) {
            ++j;
            while (j < n) {
                if (connectionString.at(j) == QLatin1Char('}')) {
                    if (j + 1 < n && connectionString.at(j + 1) == QLatin1Char('}')) {
                        value += QLatin1Char('}');
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                value += connectionString.at(j++);
            }
            const qsizetype semi = connectionString.indexOf(QLatin1Char(';'), j);
            j = semi < 0 ? n : semi;
        } else {
            const qsizetype semi = connectionString.indexOf(QLatin1Char(';'), j);
            const qsizetype end = semi < 0 ? n : semi;
            value = connectionString.mid(j, end - j);
            j = end;
        }
        if (!visit(name, value, eq + 1, j)) return;
        i = j + 1;
    }
}

}  // namespace

std::optional<QString> findAttribute(const QString& connectionString, const QString& key) {
    std::optional<QString> found;
    forEachAttribute(connectionString,
                     [&](const QString& name, const QString& value, qsizetype, qsizetype) {
                         if (name.compare(key, Qt::CaseInsensitive) != 0) return true;
                         found = value;
                         return false;
                     });
    return found;
}

QString connectionStringWithoutSecrets(const QString& connectionString) {
    // Everything after a password goes too: a value written without braces
    // may hold a ";" and run on past where the attribute seems to end.
    qsizetype cut = -1;
    forEachAttribute(connectionString,
                     [&](const QString& name, const QString&, qsizetype start, qsizetype) {
                         if (!isSecretName(name)) return true;
                         cut = start;
                         return false;
                     });
    if (cut < 0) return connectionString;
    return connectionString.left(cut) + QStringLiteral("<hidden>");
}

QString withoutSecrets(const QString& text, const QString& connectionString) {
    QString cleaned = text;
    forEachAttribute(connectionString,
                     [&](const QString& name, const QString& value, qsizetype, qsizetype) {
                         if (isSecretName(name) && !value.isEmpty())
                             cleaned.replace(value, QStringLiteral("<hidden>"));
                         return true;
                     });
    return cleaned;
}

QString attributeValueText(const QString& value) {
    if (!value.contains(QLatin1Char(';')) && !value.contains(QLatin1Char('{')) &&
        !value.contains(QLatin1Char('}')))
        return value;
    QString escaped = value;
    escaped.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return QLatin1Char('{') + escaped + QLatin1Char('}');
}
