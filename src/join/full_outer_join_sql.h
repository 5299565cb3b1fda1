#pragma once

#include <QString>

// The full outer join of two staged tables on one field each: a LEFT JOIN
// followed by the RIGHT JOIN's rows that found no partner. UNION ALL keeps
// rows that are alike, as the join itself does; names go in backticks, so
// any field name works.
QString FullOuterJoinSql(const QString& leftTable, const QString& leftField,
                         const QString& rightTable, const QString& rightField);

// The same join in its two halves, each over one stretch of a table's rows,
// so a large join can be staged a piece at a time: the left table's rows
// whose row id (rowIdName) lies in [first, last], each with its partners; or
// the right table's rows in that stretch that found no partner. The columns
// come in the full join's order, left table first. Together, over every
// stretch of both tables, the pieces hold exactly the full join's rows.
// Without a rowIdName the piece is the whole half.
enum class JoinHalf { LeftRows, UnmatchedRightRows };
QString FullOuterJoinPieceSql(JoinHalf half, const QString& leftTable, const QString& leftField,
                              const QString& rightTable, const QString& rightField,
                              const QString& rowIdName, qint64 first, qint64 last);
