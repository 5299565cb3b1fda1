#pragma once

#include <QString>

#include "db/connection.h"
#include "db/quoted_names.h"

// How a value of empty text is written: as NULL (so the table cannot tell it
// from a missing value), or as the empty text it is.
enum class EmptyText { AsNull, AsText };

// "INSERT INTO <table> VALUES(<v>, <v>, ...)": a Null as NULL, a text in
// single quotes with its quotes doubled, an empty text as the rule says.
QString InsertStatement(NameQuoting quoting, const QString& table, const db::Row& row,
                        EmptyText empty);
