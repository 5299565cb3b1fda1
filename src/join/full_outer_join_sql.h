#pragma once

#include <QString>

// The full outer join of two staged tables on one field each: a LEFT JOIN
// followed by the RIGHT JOIN's rows that found no partner. UNION ALL keeps
// rows that are alike, as the join itself does; names go in backticks, so
// any field name works.
QString FullOuterJoinSql(const QString& leftTable, const QString& leftField,
                         const QString& rightTable, const QString& rightField);
