#pragma once

#include <QString>

// A result column's name without a leading "Table1." or "Table2.", the
// staging copies' names an engine may put in front of it. Any other name,
// one holding a point included, is the column's own and stays whole.
QString StripTablePrefix(const QString& name);
