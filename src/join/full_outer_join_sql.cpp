#include "join/full_outer_join_sql.h"

#include "db/quoted_names.h"

QString FullOuterJoinSql(const QString& leftTable, const QString& leftField,
                         const QString& rightTable, const QString& rightField) {
    const QString leftName = StagingName(leftTable);
    const QString rightName = StagingName(rightTable);
    const QString left = leftName + QLatin1Char('.') + StagingName(leftField);
    const QString right = rightName + QLatin1Char('.') + StagingName(rightField);
    return QStringLiteral("SELECT * FROM ") + leftName + QStringLiteral(" LEFT JOIN ") + rightName +
           QStringLiteral(" ON ") + left + QLatin1Char('=') + right +
           QStringLiteral(" UNION ALL SELECT * FROM ") + leftName + QStringLiteral(" RIGHT JOIN ") +
           rightName + QStringLiteral(" ON ") + left + QStringLiteral("= ") + right +
           QStringLiteral(" WHERE ") + left + QStringLiteral(" Is Null");
}
