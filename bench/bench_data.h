#pragma once

#include <QString>
#include <QStringList>

namespace bench {

class OdbcConnection;

struct SourceTable {
    QString name;
    QString keyField;
    QStringList columns;
};

struct SourceTables {
    SourceTable first;
    SourceTable second;
};

// Two tables of `rows` rows each, made on the server, the same for the same
// count: eight columns of mixed types, texts with quotes and non-ASCII
// characters (one outside the BMP), NULLs in every column. About 70% of the
// keys on each side find a partner, some keys repeat and some are NULL, so
// the full outer join has about 1.3 × rows rows.
SourceTables CreateSourceTables(OdbcConnection& login, qint64 rows);

}  // namespace bench
