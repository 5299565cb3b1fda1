#include "db/connection_string_attributes.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>

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

// How much of the text from start is a password: one of its forms, a braced
// value, or else everything up to the end of the attribute (";"), the line
// or the text.
qsizetype secretValueLength(const QString& text, qsizetype start, const QStringList& forms) {
    const QStringView rest = QStringView(text).mid(start);
    for (const QString& form : forms)
        if (rest.startsWith(form)) return form.size();
    if (rest.startsWith(QLatin1Char('{'))) {
        for (qsizetype j = 1; j < rest.size(); ++j) {
            if (rest.at(j) != QLatin1Char('}')) continue;
            if (j + 1 < rest.size() && rest.at(j + 1) == QLatin1Char('}')) {
                ++j;
                continue;
            }
            return j + 1;
        }
        return rest.size();
    }
    qsizetype end = 0;
    while (end < rest.size() && rest.at(end) != QLatin1Char(';') &&
           rest.at(end) != QLatin1Char('\n') && rest.at(end) != QLatin1Char('\r'))
        ++end;
    return end;
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
    // Every form in which the connection string carries a password: the
    // value itself, and the value as written there (in braces, "}" doubled).
    QStringList forms;
    forEachAttribute(connectionString, [&](const QString& name, const QString& value,
                                           qsizetype start, qsizetype end) {
        if (isSecretName(name) && !value.isEmpty())
            forms << value << connectionString.mid(start, end - start).trimmed()
                  << attributeValueText(value);
        return true;
    });
    std::sort(forms.begin(), forms.end(),
              [](const QString& a, const QString& b) { return a.size() > b.size(); });

    // Only where a password stands as a value: hidden anywhere else, a short
    // password would mangle the driver's words and give itself away.
    static const QRegularExpression secretName(
        QStringLiteral("(?<![A-Za-z0-9_])(pwd|password)\\s*=[ \\t]*"),
        QRegularExpression::CaseInsensitiveOption);
    QString cleaned;
    qsizetype done = 0;
    auto match = secretName.globalMatch(text);
    while (match.hasNext()) {
        const QRegularExpressionMatch found = match.next();
        const qsizetype start = found.capturedEnd();
        if (start < done) continue;
        const qsizetype length = secretValueLength(text, start, forms);
        if (length == 0) continue;
        cleaned += text.mid(done, start - done) + QStringLiteral("<hidden>");
        done = start + length;
    }
    return cleaned + text.mid(done);
}

QString attributeValueText(const QString& value) {
    if (!value.contains(QLatin1Char(';')) && !value.contains(QLatin1Char('{')) &&
        !value.contains(QLatin1Char('}')))
        return value;
    QString escaped = value;
    escaped.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return QLatin1Char('{') + escaped + QLatin1Char('}');
}
