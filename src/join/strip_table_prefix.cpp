#include "join/strip_table_prefix.h"

#include "join/staging_copy_names.h"

QString StripTablePrefix(const QString& name) {
    for (const QString& copy : {StagingCopy1(), StagingCopy2()}) {
        const QString prefix = copy + QLatin1Char('.');
        if (name.startsWith(prefix)) return name.mid(prefix.size());
    }
    return name;
}
