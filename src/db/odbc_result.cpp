#include "db/odbc_result.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <vector>

#include "db/block_read_refused.h"
#include "db/db_error.h"
#include "db/server_call.h"

namespace db {
namespace odbc {
namespace {

// Columns up to this many characters are bound whole, at two code units a
// character: one outside the Basic Multilingual Plane (an emoji) takes two,
// and a value within its column's size never meets the driver's truncation.
constexpr SQLLEN MaxBoundChars = 4000;
constexpr SQLLEN UnitsPerChar = 2;
// Wider ones up to LongestBoundChars (long texts: psqlODBC gives text 8190)
// are bound for their first WideBoundChars, which most values fit in; a
// longer value is read again whole by itself. LOBs, sized in gigabytes, and
// columns of unknown size are read in pieces.
constexpr SQLLEN LongestBoundChars = 65535;
constexpr SQLLEN WideBoundChars = 1024;
// Each block is made into rows in one call on another thread (the worker, or
// the read's own thread making rows ahead): blocks of many rows spread the
// cost of handing it over thin. Read row by row, a call makes as many rows.
constexpr SQLULEN MaxBlockRows = 1024;
// The bound buffers of one block together, in bytes.
constexpr qsizetype BlockBytes = 4 * 1024 * 1024;
// The text made into rows in one call, besides its last row: a block of
// long values is made a part at a time.
constexpr qsizetype RowsBudgetUnits = 4 * 1024 * 1024;
// A value's memory is used again for another only up to this many code
// units, so that one long value does not hold on to its memory.
constexpr qsizetype KeptUnits = 8192;
// Code units per SQLGetData piece, the terminating NUL included.
constexpr qsizetype PieceUnits = 4096;
// A row status that no driver writes: the row was not touched by the fetch.
constexpr SQLUSMALLINT NoStatus = 0xFFFF;

// A bound column's buffers: one slot of width code units per row of the
// block, and the driver's length (or null) indicator per row.
struct BoundColumn {
    qsizetype width = 0;  // 0: not bound
    std::vector<SQLWCHAR> values;
    std::vector<SQLLEN> indicators;
};

class OdbcResult final : public ResultEngine {
public:
    explicit OdbcResult(std::shared_ptr<Handle> statement) : m_statement(std::move(statement)) {
        SQLSMALLINT columns = 0;
        check(SQLNumResultCols(stmt(), &columns), *m_statement, "SQLNumResultCols");
        for (SQLSMALLINT i = 1; i <= columns; ++i) {
            SQLWCHAR name[512] = {};
            SQLSMALLINT length = 0;
            check(SQLColAttributeW(stmt(), SQLUSMALLINT(i), SQL_DESC_LABEL, name,
                                   SQLSMALLINT(sizeof(name)), &length, nullptr),
                  *m_statement, "SQLColAttribute");
            const qsizetype chars = std::min<qsizetype>(length / qsizetype(sizeof(SQLWCHAR)),
                                                        qsizetype(std::size(name)) - 1);
            m_names << fromWide(name, chars);
        }
        if (columns > 0 && !bindBlocks()) readRowByRow();
    }

    ~OdbcResult() override {
        // The rows being made ahead are not wanted any more; the buffers
        // they are made from must outlive their making.
        m_ahead.stop(m_statement->runContext());
        if (m_blockRows > 0) readRowByRow();
    }
    OdbcResult(const OdbcResult&) = delete;
    OdbcResult& operator=(const OdbcResult&) = delete;

    const QStringList& fieldNames() const override { return m_names; }

    bool next() override {
        // A row delivered goes back, for a later one to be made in its memory.
        if (!m_row.empty()) m_spent.push_back(std::move(m_row));
        m_row.clear();
        if (m_finished) return false;
        try {
            if (!nextMade()) {
                m_finished = true;
                return false;
            }
        } catch (...) {
            // A failed fetch ends the rows: callers never loop on a broken stream.
            m_finished = true;
            m_row.clear();
            throw;
        }
        return true;
    }

    const Row& row() const override { return m_row; }

private:
    SQLHSTMT stmt() const { return m_statement->get(); }

    // Binds what can be bound and asks for blocks of rows. False when the
    // driver cannot read pieces of single rows of a block (SQLGetData after
    // SQLSetPos), or no column is narrow enough to bind.
    bool bindBlocks() {
        const Handle* connection = m_statement->connection();
        if (!connection || connection->blockReadsRefused()) return false;
        SQLUINTEGER extensions = 0;
        if (!succeeded(SQLGetInfoW(connection->get(), SQL_GETDATA_EXTENSIONS, &extensions,
                                   sizeof(extensions), nullptr)))
            return false;
        const SQLUINTEGER needed = SQL_GD_BLOCK | SQL_GD_BOUND | SQL_GD_ANY_COLUMN;
        SQLUSMALLINT setPos = SQL_FALSE;
        if ((extensions & needed) != needed ||
            !succeeded(SQLGetFunctions(connection->get(), SQL_API_SQLSETPOS, &setPos)) ||
            setPos != SQL_TRUE)
            return false;

        m_columns.resize(size_t(m_names.size()));
        qsizetype rowBytes = 0;
        for (size_t i = 0; i < m_columns.size(); ++i) {
            SQLLEN display = 0;
            if (!succeeded(SQLColAttributeW(stmt(), SQLUSMALLINT(i + 1), SQL_DESC_DISPLAY_SIZE,
                                            nullptr, 0, nullptr, &display)))
                continue;
            if (display <= 0 || display > LongestBoundChars) continue;
            m_columns[i].width =
                qsizetype(display > MaxBoundChars ? WideBoundChars : display * UnitsPerChar) + 1;
            rowBytes +=
                m_columns[i].width * qsizetype(sizeof(SQLWCHAR)) + qsizetype(sizeof(SQLLEN));
        }
        if (rowBytes == 0) return false;

        SQLULEN rows = std::clamp<SQLULEN>(SQLULEN(BlockBytes / rowBytes), 1, MaxBlockRows);
        if (!succeeded(SQLSetStmtAttrW(stmt(), SQL_ATTR_ROW_BIND_TYPE,
                                       reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0)) ||
            !succeeded(SQLSetStmtAttrW(stmt(), SQL_ATTR_ROW_ARRAY_SIZE,
                                       reinterpret_cast<SQLPOINTER>(rows), 0)))
            return false;
        // A driver may take a smaller block than asked for.
        if (!succeeded(SQLGetStmtAttrW(stmt(), SQL_ATTR_ROW_ARRAY_SIZE, &rows, 0, nullptr)) ||
            rows == 0)
            return false;
        m_blockRows = rows;
        m_status.assign(rows, NoStatus);
        if (!succeeded(SQLSetStmtAttrW(stmt(), SQL_ATTR_ROW_STATUS_PTR, m_status.data(), 0)) ||
            !succeeded(SQLSetStmtAttrW(stmt(), SQL_ATTR_ROWS_FETCHED_PTR, &m_fetched, 0)))
            return false;
        for (size_t i = 0; i < m_columns.size(); ++i) {
            BoundColumn& column = m_columns[i];
            if (column.width == 0) continue;
            column.values.resize(size_t(column.width) * rows);
            column.indicators.resize(rows);
            if (!succeeded(SQLBindCol(
                    stmt(), SQLUSMALLINT(i + 1), SQL_C_WCHAR, column.values.data(),
                    SQLLEN(column.width) * SQLLEN(sizeof(SQLWCHAR)), column.indicators.data())))
                return false;
        }
        return true;
    }

    // Undoes every binding: one row per fetch, every value by SQLGetData.
    void readRowByRow() {
        SQLFreeStmt(stmt(), SQL_UNBIND);
        SQLSetStmtAttrW(stmt(), SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
        SQLSetStmtAttrW(stmt(), SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
        SQLSetStmtAttrW(stmt(), SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(SQLULEN(1)),
                        0);
        m_blockRows = 0;
        m_columns.clear();
        m_status.clear();
    }

    // The next row of those made from blocks, or read row by row; more are
    // made, a block or part of one (or a stretch of single rows) at a time,
    // as one call to the server (on the worker while a window is served, so
    // a fetch that hangs can be cancelled), and the window's thread waits
    // once for many rows. While a window is served, the rows after them are
    // made meanwhile on a thread of their own, as the caller stores these.
    bool nextMade() {
        if (m_ready == m_rows.size()) {
            m_rows.clear();
            m_ready = 0;
            if (m_ahead.running()) {
                const ServerCall watched(*m_statement);
                m_ahead.wait(m_statement->runContext());
                std::swap(m_rows, m_rowsAhead);
            } else if (!m_failure && !m_noMoreBlocks) {
                callServer(*m_statement, [this] {
                    makeRows(m_rows, m_spent);
                    return SQLRETURN(SQL_SUCCESS);
                });
            }
            // The rows before a failure are delivered first, then the failure.
            if (m_rows.empty()) {
                if (m_failure) std::rethrow_exception(std::exchange(m_failure, nullptr));
                return false;
            }
            if (worthMakingAhead()) {
                std::move(m_spent.begin(), m_spent.end(), std::back_inserter(m_spentAhead));
                m_spent.clear();
                m_ahead.start([this] { makeRows(m_rowsAhead, m_spentAhead); },
                              [this] { SQLCancel(stmt()); });
            }
        }
        m_row = std::move(m_rows[m_ready++]);
        return true;
    }

    // Whether more rows are likely, and a window is served meanwhile: a
    // block that came short was the last but for the driver's saying so.
    bool worthMakingAhead() const {
        const RunContext* context = m_statement->runContext();
        return context && context->servesWhileWaiting() && !m_failure && !m_noMoreBlocks &&
               (m_nextInBlock < m_available || m_fetched >= m_blockRows);
    }

    // Rows of the block not yet made, fetching the next block when none is
    // left (read row by row: the next rows, up to MaxBlockRows), until
    // RowsBudgetUnits of text are made; a failure is kept for after the rows
    // before it. Makes every driver call itself: it is one call already.
    // The rows are made in the memory of spent ones, so that a steady read
    // allocates nothing, nor frees on another thread what this one
    // allocated.
    void makeRows(std::vector<Row>& rows, std::vector<Row>& spent) {
        try {
            qsizetype units = 0;
            while (units < RowsBudgetUnits && rows.size() < MaxBlockRows) {
                if (m_nextInBlock >= m_available) {
                    // One block per call: its rows are all made by now.
                    if ((m_blockRows > 0 && !rows.empty()) || m_noMoreBlocks || !fetchBlock())
                        return;
                }
                m_current = m_nextInBlock;
                m_positioned = false;
                Row row;
                if (!spent.empty()) {
                    row = std::move(spent.back());
                    spent.pop_back();
                }
                row.resize(size_t(m_names.size()));
                for (size_t i = 0; i < row.size(); ++i) {
                    valueInto(int(i), row[i]);
                    if (row[i]) units += row[i]->size();
                }
                rows.push_back(std::move(row));
                ++m_nextInBlock;
            }
        } catch (...) {
            // A value that could not be read ends the rows there.
            m_failure = std::current_exception();
            m_noMoreBlocks = true;
        }
    }

    // The next block into the bound buffers, or the next row to read by
    // SQLGetData; false when it holds no row. Nothing is fetched on a
    // connection that lost its link.
    bool fetchBlock() {
        std::fill(m_status.begin(), m_status.end(), NoStatus);
        m_fetched = 0;
        m_available = 0;
        m_nextInBlock = 0;
        m_statement->throwIfLost();
        const SQLRETURN rc = SQLFetch(stmt());
        if (m_blockRows == 0) {
            if (rc == SQL_NO_DATA) {
                m_noMoreBlocks = true;
                return false;
            }
            check(rc, *m_statement, "SQLFetch");
            throwUnlessOnlyTruncated(rc, "SQLFetch");
            m_available = 1;
            return true;
        }
        if (rc == SQL_SUCCESS_WITH_INFO && !onlyTruncations(*m_statement)) {
            // Which values the warning touched is not said: none of the
            // block's rows is delivered.
            m_noMoreBlocks = true;
            try {
                throwDiagnostics(*m_statement, "SQLFetch");
            } catch (...) {
                m_failure = std::current_exception();
            }
            return false;
        }
        if (rc == SQL_NO_DATA) {
            m_noMoreBlocks = true;
            return false;
        }
        if (!succeeded(rc)) {
            m_noMoreBlocks = true;
            try {
                check(rc, *m_statement, "SQLFetch");
            } catch (...) {
                m_failure = std::current_exception();
            }
            // The rows the driver marked delivered before it failed, if any.
            m_available = deliveredRows(m_blockRows);
        } else {
            m_available = deliveredRows(m_fetched);
            if (m_available < m_fetched) {
                // A row that the driver could not deliver fails the read there.
                m_noMoreBlocks = true;
                try {
                    throwDiagnostics(*m_statement, "SQLFetch: a row could not be read");
                } catch (...) {
                    m_failure = std::current_exception();
                }
            }
        }
        return m_available > 0;
    }

    // The leading rows of the block that the driver marked as delivered.
    SQLULEN deliveredRows(SQLULEN limit) const {
        SQLULEN rows = 0;
        while (rows < std::min(limit, m_blockRows) &&
               (m_status[rows] == SQL_ROW_SUCCESS || m_status[rows] == SQL_ROW_SUCCESS_WITH_INFO))
            ++rows;
        return rows;
    }

    // The value of a block's column in the current row, into the memory of
    // the one it replaces where it fits.
    void valueInto(int index, Value& into) {
        if (m_blockRows == 0) {
            into = readPieces(SQLUSMALLINT(index + 1));
            return;
        }
        const BoundColumn& column = m_columns[size_t(index)];
        if (column.width > 0) {
            const SQLLEN indicator = column.indicators[m_current];
            if (indicator == SQL_NULL_DATA) {
                into.reset();
                return;
            }
            const qsizetype units = qsizetype(indicator) / qsizetype(sizeof(SQLWCHAR));
            if (indicator != SQL_NO_TOTAL && indicator >= 0 && units <= column.width - 1 && into &&
                into->capacity() <= KeptUnits) {
                // Resizing keeps the memory unless another holds the text too.
                into->resize(units);
                std::copy_n(column.values.data() + qsizetype(m_current) * column.width, units,
                            reinterpret_cast<SQLWCHAR*>(into->data()));
                return;
            }
        }
        into = value(index);
    }

    Value value(int index) {
        const BoundColumn& column = m_columns[size_t(index)];
        if (column.width == 0) {
            positionOnCurrentRow();
            return readPieces(SQLUSMALLINT(index + 1));
        }
        const SQLLEN indicator = column.indicators[m_current];
        if (indicator == SQL_NULL_DATA) return std::nullopt;
        const qsizetype capacity = column.width - 1;
        if (indicator != SQL_NO_TOTAL && indicator >= 0 &&
            indicator / SQLLEN(sizeof(SQLWCHAR)) <= capacity) {
            const SQLWCHAR* slot = column.values.data() + qsizetype(m_current) * column.width;
            return fromWide(slot, qsizetype(indicator) / qsizetype(sizeof(SQLWCHAR)));
        }
        // Longer than its buffer: read whole, from the start, by itself.
        positionOnCurrentRow();
        Value whole = readPieces(SQLUSMALLINT(index + 1));
        if (indicator != SQL_NO_TOTAL &&
            (!whole || whole->size() != qsizetype(indicator) / qsizetype(sizeof(SQLWCHAR))))
            throw DbError(QStringLiteral("Column %1 (\"%2\"): the driver delivered a value of "
                                         "another length than it announced.")
                              .arg(QString::number(index + 1), m_names.value(index)));
        return whole;
    }

    // A warning other than a truncation (01004) may mean a value came
    // changed (a conversion that lost characters, say): the read fails with
    // the driver's words rather than deliver it.
    void throwUnlessOnlyTruncated(SQLRETURN rc, const char* what) const {
        if (rc == SQL_SUCCESS_WITH_INFO && !onlyTruncations(*m_statement))
            throwDiagnostics(*m_statement, what);
    }

    // SQLGetData reads from the row the block cursor stands on.
    void positionOnCurrentRow() {
        if (m_positioned) return;
        const SQLRETURN rc =
            SQLSetPos(stmt(), SQLSETPOSIROW(m_current + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE);
        // After a failed fetch the driver may refuse; its failure is the news.
        if (!succeeded(rc) && m_failure) std::rethrow_exception(std::exchange(m_failure, nullptr));
        if (!succeeded(rc)) {
            try {
                check(rc, *m_statement, "SQLSetPos");
            } catch (const DbError& error) {
                // A lost connection is no refusal: it fails the read.
                if (error.connectionLost()) throw;
                refuseReadingAgain(error.description());
            }
        }
        m_positioned = true;
    }

    [[noreturn]] void refuseReadingAgain(const QString& driverWords) {
        m_statement->refuseBlockReads();
        throw BlockReadRefused(QStringLiteral("The driver would not read a row of a fetched "
                                              "block again: ") +
                               driverWords);
    }

    // The driver converts the value to text itself; a long value comes in
    // pieces until the driver says it is complete.
    Value readPieces(SQLUSMALLINT column) {
        QString text;
        SQLWCHAR buffer[PieceUnits];
        for (bool first = true;; first = false) {
            SQLLEN indicator = 0;
            const SQLRETURN rc =
                SQLGetData(stmt(), column, SQL_C_WCHAR, buffer, sizeof(buffer), &indicator);
            // A value has a first piece, even when empty or Null: a driver
            // that answers no data for a row of a block cannot read it there.
            if (rc == SQL_NO_DATA && first && m_blockRows > 0)
                refuseReadingAgain(
                    QStringLiteral("SQLGetData answered that the value has no data."));
            if (rc == SQL_NO_DATA) break;
            check(rc, *m_statement, "SQLGetData");
            throwUnlessOnlyTruncated(rc, "SQLGetData");
            if (indicator == SQL_NULL_DATA) return std::nullopt;
            // A warning with no total is a truncation too, whatever its state: if
            // nothing follows after all, the next call says so (SQL_NO_DATA).
            const bool truncated = rc == SQL_SUCCESS_WITH_INFO &&
                                   (indicator == SQL_NO_TOTAL || hasState(*m_statement, "01004"));
            const Piece piece = PieceOfValue(truncated, indicator, PieceUnits);
            text += fromWide(buffer, piece.units);
            if (!piece.more) break;
        }
        return text;
    }

    std::shared_ptr<Handle> m_statement;
    QStringList m_names;
    // Block reading; m_blockRows == 0 reads row by row.
    SQLULEN m_blockRows = 0;
    std::vector<BoundColumn> m_columns;
    std::vector<SQLUSMALLINT> m_status;
    SQLULEN m_fetched = 0;
    SQLULEN m_available = 0;       // rows of the block to deliver
    SQLULEN m_nextInBlock = 0;     // the next of them to make into a row
    SQLULEN m_current = 0;         // the one being made
    std::exception_ptr m_failure;  // thrown once the rows before it are read
    bool m_positioned = false;     // SQLSetPos done for the current row
    bool m_noMoreBlocks = false;
    std::vector<Row> m_rows;  // made from blocks, not yet delivered
    size_t m_ready = 0;       // the next of them to deliver
    // The rows after them, made on m_ahead's thread; while it runs, only it
    // touches the block's buffers and the members above that read them.
    std::vector<Row> m_rowsAhead;
    // Rows delivered, their memory to make others in; the second for the
    // rows made ahead.
    std::vector<Row> m_spent;
    std::vector<Row> m_spentAhead;

    Row m_row;
    bool m_finished = false;
    WorkAhead m_ahead;
};

}  // namespace

Piece PieceOfValue(bool truncated, SQLLEN indicator, qsizetype bufferUnits) {
    const qsizetype capacity = bufferUnits - 1;  // the terminating NUL
    if (truncated) return {capacity, true};
    if (indicator == SQL_NO_TOTAL) return {capacity, false};
    // A length past what the buffer got means more follows, whatever state
    // the driver reported with it (or none). Any other warning (01S07, say)
    // leaves the value whole: only the units the indicator counts were
    // written.
    const qsizetype units = qsizetype(indicator) / qsizetype(sizeof(SQLWCHAR));
    if (units > capacity) return {capacity, true};
    return {std::max<qsizetype>(units, 0), false};
}

std::unique_ptr<ResultEngine> readResult(std::shared_ptr<Handle> statement) {
    return std::make_unique<OdbcResult>(std::move(statement));
}

}  // namespace odbc
}  // namespace db
