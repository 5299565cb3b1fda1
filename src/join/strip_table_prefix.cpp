#include "join/strip_table_prefix.h"

QString StripTablePrefix(const QString& name) {
    const qsizetype point = name.indexOf(QLatin1Char('.'));
    return point < 0 ? name : name.mid(point + 1);
}
