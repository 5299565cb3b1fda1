#include "join/result_column_names.h"

#include "join/array_contains.h"
#include "join/strip_table_prefix.h"

QStringList ResultColumnNames(const QStringList& joinColumns, const QString& suffix) {
    QStringList names;
    for (const QString& joinColumn : joinColumns) {
        const QString column = StripTablePrefix(joinColumn);
        QString name = column;
        for (int n = 1; ArrayContains(names, name); ++n)
            name = suffix.isEmpty() ? column + QString::number(n) : name + suffix;
        names << name;
    }
    return names;
}
