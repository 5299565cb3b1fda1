#pragma once

#include <QString>
#include <QStringList>

#include "db/quoted_names.h"

// "CREATE TABLE <table>(<column> <type>,<column> <type>...)": every column
// of one type, in the given order, each name quoted for its database.
QString CreateTableStatement(NameQuoting quoting, const QString& table, const QStringList& columns,
                             const QString& columnType);
