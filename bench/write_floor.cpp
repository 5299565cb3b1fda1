#include "write_floor.h"

#include <QElapsedTimer>
#include <QStringDecoder>
#include <QStringList>
#include <algorithm>
#include <vector>

#include "bench_error.h"
#include "odbc.h"
#include "sqlite.h"

namespace bench {
namespace {

constexpr size_t RowsPerArray = WriteFloorRowsPerArray;

QString serverName(const QString& name) {
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QByteArray stagingName(const QByteArray& name) {
    QByteArray quoted = name;
    quoted.replace('`', "``");
    return '`' + quoted + '`';
}

// One parameter bound column-wise for a whole array: `width` UTF-16 units a
// row, the terminator included.
struct ParameterColumn {
    size_t width = 1;
    std::vector<SQLWCHAR> buffer;
    std::vector<SQLLEN> lengths;
};

// Each column's longest staged value in UTF-8 bytes, which no value's UTF-16
// units exceed, so the buffers can be sized once and nothing is ever cut.
std::vector<size_t> longestValues(const SqliteDatabase& staging, const QByteArray& table,
                                  const QList<QByteArray>& columns) {
    QByteArray sql = "SELECT ";
    for (qsizetype i = 0; i < columns.size(); ++i)
        sql += (i ? ", " : "") + QByteArray("max(length(CAST(") + stagingName(columns[i]) +
               " AS BLOB)))";
    SqliteStatement longest(staging, sql + " FROM " + table);
    std::vector<size_t> units(size_t(columns.size()), 0);
    if (longest.step())
        for (size_t i = 0; i < units.size(); ++i)
            units[i] =
                size_t(std::max<sqlite3_int64>(sqlite3_column_int64(longest.get(), int(i)), 0));
    return units;
}

// Reads up to RowsPerArray staged rows into the bound buffers; returns how
// many. `done` is set at the last row: a further step would start the query
// anew.
size_t readArray(SqliteStatement& rows, std::vector<ParameterColumn>& columns,
                 QStringDecoder& decoder, bool& done) {
    sqlite3_stmt* stmt = rows.get();
    size_t count = 0;
    while (count < RowsPerArray && !done) {
        if (!rows.step()) {
            done = true;
            break;
        }
        for (size_t i = 0; i < columns.size(); ++i) {
            ParameterColumn& c = columns[i];
            const int column = int(i);
            // The text first: asking for the length may otherwise convert twice.
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
            const int bytes = sqlite3_column_bytes(stmt, column);
            // An empty text goes to the server as NULL, as the program sends it.
            if (text == nullptr || bytes == 0) {
                c.lengths[count] = SQL_NULL_DATA;
                continue;
            }
            if (size_t(bytes) >= c.width)
                throw BenchError(QStringLiteral("A staged value is longer than its buffer."));
            auto* start = reinterpret_cast<QChar*>(c.buffer.data() + count * c.width);
            const QChar* end = decoder.appendToBuffer(start, QByteArrayView(text, bytes));
            c.lengths[count] = SQLLEN((end - start) * qsizetype(sizeof(SQLWCHAR)));
        }
        ++count;
    }
    return count;
}

void setArraySize(const OdbcStatement& insert, size_t rows) {
    insert.check(SQLSetStmtAttrW(insert.get(), SQL_ATTR_PARAMSET_SIZE,
                                 reinterpret_cast<SQLPOINTER>(SQLULEN(rows)), 0),
                 "SQLSetStmtAttr(PARAMSET_SIZE)");
}

}  // namespace

WriteFloorTimes WriteFloor(const QString& connectionString, const QString& stagingPath,
                           const QString& stagedTable, const QString& serverTable) {
    SqliteDatabase staging(stagingPath);
    const QByteArray table = stagingName(stagedTable.toUtf8());
    SqliteStatement rows(staging, "SELECT * FROM " + table);
    const int columnCount = sqlite3_column_count(rows.get());
    QList<QByteArray> names;
    for (int i = 0; i < columnCount; ++i) names << sqlite3_column_name(rows.get(), i);
    const std::vector<size_t> longest = longestValues(staging, table, names);

    QElapsedTimer clock;
    clock.start();
    OdbcConnection server(connectionString);
    const qint64 createdFrom = clock.nsecsElapsed();
    QStringList definitions;
    for (const QByteArray& name : names)
        definitions << serverName(QString::fromUtf8(name)) + QStringLiteral(" VARCHAR(2000)");
    server.execute(QStringLiteral("CREATE TABLE %1 (%2)")
                       .arg(serverName(serverTable), definitions.join(QStringLiteral(", "))));
    const qint64 creating = clock.nsecsElapsed() - createdFrom;

    QStringList marks;
    for (int i = 0; i < columnCount; ++i) marks << QStringLiteral("?");
    const QString insertText = QStringLiteral("INSERT INTO %1 VALUES (%2)")
                                   .arg(serverName(serverTable), marks.join(QLatin1Char(',')));
    OdbcStatement insert(server);
    insert.check(SQLPrepareW(insert.get(), Wide(insertText), SQL_NTS), "SQLPrepare");
    insert.check(SQLSetStmtAttrW(insert.get(), SQL_ATTR_PARAM_BIND_TYPE,
                                 reinterpret_cast<SQLPOINTER>(SQL_PARAM_BIND_BY_COLUMN), 0),
                 "SQLSetStmtAttr(PARAM_BIND_TYPE)");
    server.check(
        SQLSetConnectAttrW(server.get(), SQL_ATTR_AUTOCOMMIT,
                           reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER),
        "SQLSetConnectAttr(AUTOCOMMIT)");

    std::vector<ParameterColumn> columns(static_cast<size_t>(columnCount));
    for (size_t i = 0; i < columns.size(); ++i) {
        ParameterColumn& c = columns[i];
        c.width = longest[i] + 1;
        c.buffer.assign(c.width * RowsPerArray, 0);
        c.lengths.assign(RowsPerArray, SQL_NULL_DATA);
        const SQLULEN size = SQLULEN(std::max<size_t>(longest[i], 1));
        insert.check(SQLBindParameter(insert.get(), SQLUSMALLINT(i + 1), SQL_PARAM_INPUT,
                                      SQL_C_WCHAR, SQL_WVARCHAR, size, 0, c.buffer.data(),
                                      SQLLEN(c.width * sizeof(SQLWCHAR)), c.lengths.data()),
                     "SQLBindParameter");
    }
    setArraySize(insert, RowsPerArray);

    // Stateless, so no value's decoding depends on the one before it; a
    // leading U+FEFF is data here, not a byte order mark.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    qint64 sending = 0;
    bool done = false;
    for (size_t count = readArray(rows, columns, decoder, done); count > 0;
         count = readArray(rows, columns, decoder, done)) {
        // Only the last array can be short.
        if (count < RowsPerArray) setArraySize(insert, count);
        const qint64 sentFrom = clock.nsecsElapsed();
        insert.check(SQLExecute(insert.get()), "SQLExecute");
        server.check(SQLEndTran(SQL_HANDLE_DBC, server.get(), SQL_COMMIT), "SQLEndTran");
        sending += clock.nsecsElapsed() - sentFrom;
    }
    if (decoder.hasError())
        throw BenchError(stagedTable + QStringLiteral(" holds text that is not UTF-8."));
    return {double(clock.nsecsElapsed() - creating) / 1e9, double(sending) / 1e9};
}

}  // namespace bench
