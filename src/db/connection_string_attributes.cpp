#include "db/connection_string_attributes.h"

std::optional<QString> findAttribute(const QString& connectionString, const QString& key) {
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
        if (name.compare(key, Qt::CaseInsensitive) == 0) return value;
        i = j + 1;
    }
    return std::nullopt;
}

QString attributeValueText(const QString& value) {
    if (!value.contains(QLatin1Char(';')) && !value.contains(QLatin1Char('{')) &&
        !value.contains(QLatin1Char('}')))
        return value;
    QString escaped = value;
    escaped.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return QLatin1Char('{') + escaped + QLatin1Char('}');
}
