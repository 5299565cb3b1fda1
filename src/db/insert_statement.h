#pragma once

#include <QString>

#include "db/connection.h"
#include "db/quoted_names.h"

// How a value of empty text is written: as NULL (so the table cannot tell it
// from a missing value), or as the empty text it is.
enum class EmptyText { AsNull, AsText };

// "INSERT INTO <table> VALUES(?, ?, ...)" with one parameter per column, to
// be prepared once and run with each row's values bound.
QString InsertStatement(NameQuoting quoting, const QString& table, int columns);

// The row as its INSERT takes it: a Null stays a Null, a text stays itself,
// an empty text as the rule says.
db::Row InsertValues(const db::Row& row, EmptyText empty);
// The same into values, whose memory serves again row after row.
void InsertValues(const db::Row& row, EmptyText empty, db::Row& values);
