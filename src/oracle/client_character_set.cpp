#include "oracle/client_character_set.h"

#include <QByteArray>
#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(lcOracle, "quillmere.oracle", QtInfoMsg)

const char* const NlsLang = "NLS_LANG";

// The character set NLS_LANG names: what follows its last point.
QString namedSet() {
    const QString lang = qEnvironmentVariable(NlsLang);
    const qsizetype point = lang.lastIndexOf(QLatin1Char('.'));
    return point < 0 ? QString() : lang.mid(point + 1).trimmed();
}

// AL32UTF8 is UTF-8 itself; Oracle's older UTF8 holds every character too,
// those outside the Basic Multilingual Plane as pairs.
bool isUtf8(const QString& set) {
    return set.compare(QStringLiteral("AL32UTF8"), Qt::CaseInsensitive) == 0 ||
           set.compare(QStringLiteral("UTF8"), Qt::CaseInsensitive) == 0;
}

}  // namespace

void ChooseClientCharacterSet() {
    if (namedSet().isEmpty()) {
        QByteArray lang = qgetenv(NlsLang);
        if (lang.endsWith('.')) lang.chop(1);
        qputenv(NlsLang, lang + ".AL32UTF8");
        return;
    }
    if (const QString note = ClientCharacterSetNote(); !note.isEmpty())
        qCWarning(lcOracle).noquote() << note;
}

QString ClientCharacterSetNote() {
    const QString set = namedSet();
    if (set.isEmpty() || isUtf8(set)) return {};
    return QStringLiteral(
               "NLS_LANG names the client character set %1, not UTF-8: characters "
               "outside it become ? when read from Oracle and when written to it.")
        .arg(set);
}
