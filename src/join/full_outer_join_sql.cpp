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

QString FullOuterJoinPieceSql(JoinHalf half, const QString& leftTable, const QString& leftField,
                              const QString& rightTable, const QString& rightField,
                              const QString& rowIdName, qint64 first, qint64 last) {
    const QString leftName = StagingName(leftTable);
    const QString rightName = StagingName(rightTable);
    const QString left = leftName + QLatin1Char('.') + StagingName(leftField);
    const QString right = rightName + QLatin1Char('.') + StagingName(rightField);
    // Without a row id to go by, the piece is the whole half.
    const auto stretch = [&](const QString& table) {
        if (rowIdName.isEmpty()) return QString();
        return table + QLatin1Char('.') + rowIdName +
               QStringLiteral(" BETWEEN %1 AND %2").arg(first).arg(last);
    };
    if (half == JoinHalf::LeftRows) {
        const QString where = stretch(leftName);
        return QStringLiteral("SELECT * FROM ") + leftName + QStringLiteral(" LEFT JOIN ") +
               rightName + QStringLiteral(" ON ") + left + QLatin1Char('=') + right +
               (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where);
    }
    const QString where = stretch(rightName);
    // Led by the right table, so its stretch bounds the work; a left row's
    // key is never Null where it found a partner.
    return QStringLiteral("SELECT ") + leftName + QStringLiteral(".*, ") + rightName +
           QStringLiteral(".* FROM ") + rightName + QStringLiteral(" LEFT JOIN ") + leftName +
           QStringLiteral(" ON ") + left + QLatin1Char('=') + right + QStringLiteral(" WHERE ") +
           left + QStringLiteral(" Is Null") +
           (where.isEmpty() ? QString() : QStringLiteral(" AND ") + where);
}
