#include "app/console/summary_output.h"

#include <QJsonDocument>
#include <QJsonObject>

#include "join/join_summary.h"

namespace {

QString countText(qint64 count) { return count < 0 ? QStringLiteral("-") : QString::number(count); }

QJsonValue countJson(qint64 count) {
    return count < 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(count);
}

QString secondsText(double seconds) { return QString::number(seconds, 'f', 3); }

}  // namespace

QString SummaryText(const JoinSummary& s, int exitCode) {
    const QString newTable = s.newTable.isEmpty() ? QStringLiteral("-") : s.newTable;
    // One piece at a time: a "%" in a name is never taken for a place.
    return QStringLiteral("join: ") + s.table1 + QStringLiteral(" with ") + s.table2 +
           QStringLiteral(" into ") + newTable + QLatin1Char('\n') +
           QStringLiteral("rows copied: ") + countText(s.copied1) + QStringLiteral(" from ") +
           s.table1 + QStringLiteral(", ") + countText(s.copied2) + QStringLiteral(" from ") +
           s.table2 + QLatin1Char('\n') + QStringLiteral("rows staged: ") + countText(s.staged) +
           QLatin1Char('\n') + QStringLiteral("rows written: ") + countText(s.written) +
           QLatin1Char('\n') + QStringLiteral("rows missing: ") + countText(s.missing()) +
           QLatin1Char('\n') +
           (s.oldTableKept.isEmpty()
                ? QString()
                : QStringLiteral("old table kept: ") + s.oldTableKept + QLatin1Char('\n')) +
           QStringLiteral("seconds: copy ") + secondsText(s.seconds[JoinSummary::Copy]) +
           QStringLiteral(", join ") + secondsText(s.seconds[JoinSummary::Join]) +
           QStringLiteral(", stage ") + secondsText(s.seconds[JoinSummary::Stage]) +
           QStringLiteral(", write ") + secondsText(s.seconds[JoinSummary::Write]) +
           QLatin1Char('\n') + QStringLiteral("exit code: ") + QString::number(exitCode) +
           QLatin1Char('\n');
}

QString SummaryJson(const JoinSummary& s, int exitCode) {
    const QJsonObject seconds{{QStringLiteral("copy"), s.seconds[JoinSummary::Copy]},
                              {QStringLiteral("join"), s.seconds[JoinSummary::Join]},
                              {QStringLiteral("stage"), s.seconds[JoinSummary::Stage]},
                              {QStringLiteral("write"), s.seconds[JoinSummary::Write]}};
    const QJsonObject object{
        {QStringLiteral("table1"), s.table1},
        {QStringLiteral("table2"), s.table2},
        {QStringLiteral("newTable"),
         s.newTable.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(s.newTable)},
        {QStringLiteral("copied1"), countJson(s.copied1)},
        {QStringLiteral("copied2"), countJson(s.copied2)},
        {QStringLiteral("staged"), countJson(s.staged)},
        {QStringLiteral("written"), countJson(s.written)},
        {QStringLiteral("missing"), countJson(s.missing())},
        {QStringLiteral("oldTableKept"), !s.oldTableKept.isEmpty()},
        {QStringLiteral("seconds"), seconds},
        {QStringLiteral("exitCode"), exitCode}};
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) +
           QLatin1Char('\n');
}
