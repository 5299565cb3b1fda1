#include "join/full_outer_join_sql.h"

QString FullOuterJoinSql(const QString& leftTable, const QString& leftField,
                         const QString& rightTable, const QString& rightField) {
    const QString left = leftTable + QLatin1Char('.') + leftField;
    const QString right = rightTable + QLatin1Char('.') + rightField;
    return QStringLiteral("SELECT * FROM ") + leftTable + QStringLiteral(" LEFT JOIN ") +
           rightTable + QStringLiteral(" ON ") + left + QLatin1Char('=') + right +
           QStringLiteral(" UNION SELECT * FROM ") + leftTable + QStringLiteral(" RIGHT JOIN ") +
           rightTable + QStringLiteral(" ON ") + left + QStringLiteral("= ") + right +
           QStringLiteral(" WHERE ") + left + QStringLiteral(" Is Null");
}
