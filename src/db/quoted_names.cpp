#include "db/quoted_names.h"

namespace {
QString quoted(const QString& text, QChar quote) {
    QString doubled = text;
    doubled.replace(quote, QString(2, quote));
    return quote + doubled + quote;
}
}  // namespace

QString OracleName(const QString& name) { return quoted(name, QLatin1Char('"')); }
QString StagingName(const QString& name) { return quoted(name, QLatin1Char('`')); }
QString QuotedText(const QString& text) { return quoted(text, QLatin1Char('\'')); }

QString QuotedName(NameQuoting quoting, const QString& name) {
    return quoting == NameQuoting::Oracle ? OracleName(name) : StagingName(name);
}
