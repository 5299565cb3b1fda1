#pragma once

#include <QString>

// The full outer join of two staged tables on one field each: a LEFT JOIN
// united with the RIGHT JOIN's rows that found no partner. Names go in bare.
QString FullOuterJoinSql(const QString& leftTable, const QString& leftField,
                         const QString& rightTable, const QString& rightField);
