#include "copy_floor.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStringEncoder>
#include <algorithm>
#include <memory>
#include <vector>

#include "bench_error.h"
#include "odbc.h"
#include "sqlite.h"

namespace bench {
namespace {

// Rows per SQLFetch: enough that the cost of each call is spread thin.
constexpr SQLULEN RowsPerFetch = 1024;
// The result's columns are VARCHAR(2000), so no value the run can write back
// is longer than 2000 characters: 4000 UTF-16 units at most.
constexpr SQLLEN LongestValueUnits = 4000;

QByteArray stagingName(const QString& name) {
    QString quoted = name;
    quoted.replace(QLatin1Char('`'), QStringLiteral("``"));
    return (QLatin1Char('`') + quoted + QLatin1Char('`')).toUtf8();
}

// One result column bound column-wise: RowsPerFetch values side by side.
struct BoundColumn {
    QString name;
    SQLLEN capacityUnits = 0;  // per value, terminator included
    std::vector<SQLWCHAR> values;
    std::vector<SQLLEN> indicators;
    // The current row's value as UTF-8, the staging file's own encoding:
    // converted once here, where SQLite would convert a UTF-16 text itself
    // into memory it allocates for every value.
    QByteArray utf8;
};

std::vector<BoundColumn> bindColumns(const OdbcStatement& select) {
    SQLSMALLINT count = 0;
    select.check(SQLNumResultCols(select.get(), &count), "SQLNumResultCols");
    std::vector<BoundColumn> columns(static_cast<size_t>(count));
    for (SQLUSMALLINT i = 1; i <= SQLUSMALLINT(count); ++i) {
        BoundColumn& column = columns[i - 1];
        SQLWCHAR name[256] = {};
        SQLSMALLINT nameBytes = 0;
        SQLLEN displaySize = 0;
        select.check(SQLColAttributeW(select.get(), i, SQL_DESC_LABEL, name,
                                      SQLSMALLINT(sizeof(name)), &nameBytes, nullptr),
                     "SQLColAttribute(LABEL)");
        select.check(SQLColAttributeW(select.get(), i, SQL_DESC_DISPLAY_SIZE, nullptr, 0, nullptr,
                                      &displaySize),
                     "SQLColAttribute(DISPLAY_SIZE)");
        column.name = QString::fromUtf16(reinterpret_cast<const char16_t*>(name),
                                         std::min<qsizetype>(nameBytes / 2, 255));
        // Twice the characters: one outside the BMP takes two UTF-16 units.
        // psqlODBC gives text its long-varchar size (8190), hence the cap.
        const SQLLEN units =
            displaySize > 0 ? std::min(2 * displaySize, LongestValueUnits) : LongestValueUnits;
        column.capacityUnits = units + 1;
        column.values.resize(size_t(column.capacityUnits) * RowsPerFetch);
        column.indicators.resize(RowsPerFetch);
        column.utf8.resize(3 * column.capacityUnits);
        select.check(
            SQLBindCol(select.get(), i, SQL_C_WCHAR, column.values.data(),
                       SQLLEN(sizeof(SQLWCHAR)) * column.capacityUnits, column.indicators.data()),
            "SQLBindCol");
    }
    return columns;
}

QByteArray createStatement(const QString& table, const std::vector<BoundColumn>& columns) {
    QByteArray sql = "CREATE TABLE " + stagingName(table) + '(';
    for (size_t i = 0; i < columns.size(); ++i)
        sql += (i ? ", " : "") + stagingName(columns[i].name) + " TEXT";
    return sql + ')';
}

QByteArray insertStatement(const QString& table, size_t columnCount) {
    QByteArray sql = "INSERT INTO " + stagingName(table) + " VALUES(";
    for (size_t i = 0; i < columnCount; ++i) sql += i ? ",?" : "?";
    return sql + ')';
}

// Splits the time since the last switch between the read and the insert.
class Laps {
public:
    Laps() { m_clock.start(); }
    // The time since the last call went to the read.
    void addToRead() { m_read += lap(); }
    // The time since the last call went to the insert.
    void addToInsert() { m_insert += lap(); }
    double readSeconds() const { return double(m_read) / 1e9; }
    double insertSeconds() const { return double(m_insert) / 1e9; }

private:
    qint64 lap() {
        const qint64 now = m_clock.nsecsElapsed();
        const qint64 took = now - m_last;
        m_last = now;
        return took;
    }

    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_read = 0;
    qint64 m_insert = 0;
};

}  // namespace

CopyFloorTimes CopyFloor(const QString& connectionString, const QString& serverTable,
                         const QString& stagingTable, const QString& path) {
    QFile::remove(path);
    Laps laps;
    auto source = std::make_unique<OdbcConnection>(connectionString);
    auto select = std::make_unique<OdbcStatement>(*source);
    select->check(SQLSetStmtAttrW(select->get(), SQL_ATTR_ROW_BIND_TYPE,
                                  reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0),
                  "SQLSetStmtAttr(ROW_BIND_TYPE)");
    select->check(SQLSetStmtAttrW(select->get(), SQL_ATTR_ROW_ARRAY_SIZE,
                                  reinterpret_cast<SQLPOINTER>(RowsPerFetch), 0),
                  "SQLSetStmtAttr(ROW_ARRAY_SIZE)");
    SQLULEN fetched = 0;
    select->check(SQLSetStmtAttrW(select->get(), SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0),
                  "SQLSetStmtAttr(ROWS_FETCHED_PTR)");
    QString quoted = serverTable;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    select->executeDirect(QStringLiteral("SELECT * FROM \"") + quoted + QLatin1Char('"'));
    std::vector<BoundColumn> columns = bindColumns(*select);
    laps.addToRead();

    // The same file settings as the program's staging file.
    auto staging = std::make_unique<SqliteDatabase>(path);
    staging->execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
    staging->execute(createStatement(stagingTable, columns));
    staging->execute("BEGIN");
    auto insert =
        std::make_unique<SqliteStatement>(*staging, insertStatement(stagingTable, columns.size()));
    QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    laps.addToInsert();
    for (;;) {
        const SQLRETURN rc = SQLFetch(select->get());
        if (rc == SQL_NO_DATA) break;
        select->check(rc, "SQLFetch");
        laps.addToRead();
        for (SQLULEN row = 0; row < fetched; ++row) {
            for (size_t i = 0; i < columns.size(); ++i) {
                BoundColumn& column = columns[i];
                const SQLLEN bytes = column.indicators[row];
                const int parameter = int(i) + 1;
                if (bytes == SQL_NULL_DATA) {
                    insert->bindNull(parameter);
                    continue;
                }
                // A cut value would make the floor cheaper than the job.
                if (bytes == SQL_NO_TOTAL ||
                    bytes > SQLLEN(sizeof(SQLWCHAR)) * (column.capacityUnits - 1))
                    throw BenchError(QStringLiteral("A value of %1.%2 is longer than its buffer.")
                                         .arg(serverTable, column.name));
                const QStringView value(&column.values[row * size_t(column.capacityUnits)],
                                        qsizetype(bytes / SQLLEN(sizeof(SQLWCHAR))));
                char* const start = column.utf8.data();
                const char* const end = encoder.appendToBuffer(start, value);
                insert->bindText(parameter, start, int(end - start));
            }
            insert->step();
            insert->reset();
        }
        laps.addToInsert();
    }
    laps.addToRead();
    insert.reset();
    staging->execute("COMMIT");
    staging.reset();
    laps.addToInsert();
    select.reset();
    source.reset();
    laps.addToRead();
    return {laps.readSeconds(), laps.insertSeconds()};
}

}  // namespace bench
