#include "join/strip_table_prefix.h"

QString StripTablePrefix(const QString& name) {
    for (const QLatin1String prefix : {QLatin1String("Table1."), QLatin1String("Table2.")})
        if (name.startsWith(prefix)) return name.mid(prefix.size());
    return name;
}
