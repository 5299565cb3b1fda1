#include "join/stage_full_outer_join.h"

#include <QElapsedTimer>
#include <QStringList>
#include <limits>

#include "base/doubling_batch.h"
#include "base/run_context.h"
#include "db/quoted_names.h"
#include "join/array_contains.h"
#include "join/full_outer_join_sql.h"
#include "join/staging_copy_names.h"

namespace {

// Rows of the join's staging per statement: a piece starts small and doubles
// while its statements are quick, up to a size at which a statement's own
// cost does not count, so that each statement, which serves no window while
// it runs, stays short. A commit folds no log into the file here: with a
// window to serve, the staging file's checkpoints run on the worker.
constexpr DoublingBatch::Bounds StagingPieces{1, 16, 16384, 100,
                                              std::numeric_limits<qint64>::max()};

// A name that reaches the row id of the table: a column may take any of them.
QString rowIdName(db::Connection& staging, const QString& table) {
    const QStringList columns = staging
                                    .query(QStringLiteral("SELECT * FROM ") + StagingName(table) +
                                           QStringLiteral(" WHERE 0"))
                                    .fieldNames();
    for (const QString& name :
         {QStringLiteral("rowid"), QStringLiteral("oid"), QStringLiteral("_rowid_")})
        if (!ArrayContains(columns, name)) return name;
    return {};
}

void stageHalf(db::Connection& staging, const QString& insertStart, JoinHalf half,
               const QString& table, const QString& field1, const QString& field2,
               RunContext& context) {
    const QString table1 = StagingCopy1();
    const QString table2 = StagingCopy2();
    const QString rowId = rowIdName(staging, table);
    qint64 first = 0;
    qint64 last = -1;
    if (!rowId.isEmpty()) {
        db::ResultSet bounds = staging.query(
            QStringLiteral("SELECT min(%1), max(%1) FROM ").arg(rowId) + StagingName(table));
        if (bounds.next() && bounds.value(0) && bounds.value(1)) {
            first = bounds.value(0)->toLongLong();
            last = bounds.value(1)->toLongLong();
        }
    }
    if (rowId.isEmpty()) {
        staging.execute(insertStart + FullOuterJoinPieceSql(half, table1, field1, table2, field2,
                                                            QString(), 0, 0));
        return;
    }
    DoublingBatch stretch(StagingPieces);
    for (qint64 from = first; from <= last;) {
        context.yield();
        QElapsedTimer took;
        took.start();
        const qint64 to = from + stretch.rows() - 1;
        staging.execute(insertStart + FullOuterJoinPieceSql(half, table1, field1, table2, field2,
                                                            rowId, from, to));
        from = to + 1;
        stretch.took(took.elapsed());
    }
}

}  // namespace

void StageFullOuterJoin(db::Connection& staging, const QString& target, const QString& field1,
                        const QString& field2, RunContext& context) {
    const QString insertStart =
        QStringLiteral("INSERT INTO ") + StagingName(target) + QLatin1Char(' ');
    stageHalf(staging, insertStart, JoinHalf::LeftRows, StagingCopy1(), field1, field2, context);
    stageHalf(staging, insertStart, JoinHalf::UnmatchedRightRows, StagingCopy2(), field1, field2,
              context);
}
