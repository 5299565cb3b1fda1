#include "write_floor.h"

#include <QElapsedTimer>
#include <QStringList>
#include <algorithm>
#include <string>
#include <vector>

#include "odbc.h"
#include "sqlite.h"

namespace bench {
namespace {

constexpr size_t RowsPerArray = 1000;

QString serverName(const QString& name) {
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QByteArray stagingName(const QString& name) {
    QString quoted = name;
    quoted.replace(QLatin1Char('`'), QStringLiteral("``"));
    return (QLatin1Char('`') + quoted + QLatin1Char('`')).toUtf8();
}

// One parameter's values for an array of rows, as the program binds them:
// each value as wide as the column's longest in the array, so none is cut.
struct ParameterColumn {
    std::vector<std::u16string> texts;  // per row; NULL where `isNull`
    std::vector<char> isNull;
    std::vector<SQLWCHAR> buffer;
    std::vector<SQLLEN> lengths;
};

// Reads up to RowsPerArray staged rows into `columns`; returns how many.
// `done` is set at the last row: a further step would start the query anew.
size_t readArray(SqliteStatement& rows, std::vector<ParameterColumn>& columns, bool& done) {
    sqlite3_stmt* stmt = rows.get();
    size_t count = 0;
    while (count < RowsPerArray && !done) {
        if (!rows.step()) {
            done = true;
            break;
        }
        for (size_t i = 0; i < columns.size(); ++i) {
            const int column = int(i);
            // The text first: asking for the length may otherwise convert twice.
            const auto* text = static_cast<const char16_t*>(sqlite3_column_text16(stmt, column));
            const int bytes = sqlite3_column_bytes16(stmt, column);
            ParameterColumn& c = columns[i];
            // An empty text goes to the server as NULL, as the program sends it.
            c.isNull[count] = text == nullptr || bytes == 0;
            c.texts[count].assign(text ? text : u"", size_t(bytes) / sizeof(char16_t));
        }
        ++count;
    }
    return count;
}

void bindArray(const OdbcStatement& insert, std::vector<ParameterColumn>& columns, size_t rows) {
    insert.check(SQLSetStmtAttrW(insert.get(), SQL_ATTR_PARAMSET_SIZE,
                                 reinterpret_cast<SQLPOINTER>(SQLULEN(rows)), 0),
                 "SQLSetStmtAttr(PARAMSET_SIZE)");
    for (size_t i = 0; i < columns.size(); ++i) {
        ParameterColumn& c = columns[i];
        size_t longest = 0;
        for (size_t r = 0; r < rows; ++r) longest = std::max(longest, c.texts[r].size());
        const size_t width = longest + 1;
        c.buffer.assign(width * rows, 0);
        for (size_t r = 0; r < rows; ++r) {
            std::copy(c.texts[r].begin(), c.texts[r].end(),
                      c.buffer.begin() + ptrdiff_t(r * width));
            c.lengths[r] =
                c.isNull[r] ? SQL_NULL_DATA : SQLLEN(c.texts[r].size() * sizeof(SQLWCHAR));
        }
        insert.check(
            SQLBindParameter(insert.get(), SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, SQL_C_WCHAR,
                             SQL_WVARCHAR, SQLULEN(std::max<size_t>(longest, 1)), 0,
                             c.buffer.data(), SQLLEN(width * sizeof(SQLWCHAR)), c.lengths.data()),
            "SQLBindParameter");
    }
}

}  // namespace

double WriteFloor(const QString& connectionString, const QString& stagingPath,
                  const QString& stagedTable, const QString& serverTable) {
    SqliteDatabase staging(stagingPath);
    SqliteStatement rows(staging, "SELECT * FROM " + stagingName(stagedTable));
    const int columnCount = sqlite3_column_count(rows.get());

    QElapsedTimer clock;
    clock.start();
    OdbcConnection server(connectionString);
    QStringList definitions;
    for (int i = 0; i < columnCount; ++i)
        definitions << serverName(QString::fromUtf8(sqlite3_column_name(rows.get(), i))) +
                           QStringLiteral(" VARCHAR(2000)");
    server.execute(QStringLiteral("CREATE TABLE %1 (%2)")
                       .arg(serverName(serverTable), definitions.join(QStringLiteral(", "))));

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
    for (ParameterColumn& c : columns) {
        c.texts.resize(RowsPerArray);
        c.isNull.resize(RowsPerArray);
        c.lengths.resize(RowsPerArray);
    }
    bool done = false;
    for (size_t count = readArray(rows, columns, done); count > 0;
         count = readArray(rows, columns, done)) {
        bindArray(insert, columns, count);
        insert.check(SQLExecute(insert.get()), "SQLExecute");
        server.check(SQLEndTran(SQL_HANDLE_DBC, server.get(), SQL_COMMIT), "SQLEndTran");
    }
    return double(clock.nsecsElapsed()) / 1e9;
}

}  // namespace bench
