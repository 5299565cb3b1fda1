#pragma once

#include <QString>

#include "db/connection.h"
#include "db/quoted_names.h"

using EmptyText = db::EmptyText;

// "INSERT INTO <table> VALUES(?, ?, ...)" with one parameter per column, to
// be prepared once and run with each row's values bound.
QString InsertStatement(NameQuoting quoting, const QString& table, int columns);
