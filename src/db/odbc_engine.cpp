// ODBC engine of the data access layer: connections through the driver
// manager, statements run at once or prepared, transactions.
#include <QLoggingCategory>
#include <QScopeGuard>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <vector>

#include "base/end_program_now.h"
#include "db/connection_string_attributes.h"
#include "db/db_error.h"
#include "db/engine.h"
#include "db/odbc_result.h"
#include "db/odbc_support.h"
#include "db/server_call.h"

namespace db {
namespace odbc {
namespace {

Q_LOGGING_CATEGORY(lcOdbc, "quillmere.db", QtInfoMsg)

// Values longer than this go to the driver as long text: Oracle takes at
// most 4,000 bytes in a VARCHAR2 parameter.
constexpr qsizetype MaxVarcharParameter = 4000;

SQLPOINTER integerAttribute(SQLULEN value) { return reinterpret_cast<SQLPOINTER>(value); }

SQLRETURN setAutocommit(const Handle& connection, bool on) {
    return SQLSetConnectAttrW(connection.get(), SQL_ATTR_AUTOCOMMIT,
                              integerAttribute(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF),
                              SQL_IS_UINTEGER);
}

std::shared_ptr<Handle> newStatement(const std::shared_ptr<Handle>& connection,
                                     int commandTimeout) {
    auto handle = std::make_shared<Handle>(SQL_HANDLE_STMT, connection);
    SQLSetStmtAttrW(handle->get(), SQL_ATTR_QUERY_TIMEOUT,
                    integerAttribute(SQLULEN(commandTimeout)), 0);
    return handle;
}

// The parameter buffers of one array together, in bytes, whatever the
// values: each column's buffer holds its longest value once per row, so one
// long value would otherwise multiply by the rows of its array.
constexpr qsizetype MaxArrayBytes = 64 * 1024 * 1024;

// A parameter status that no driver writes.
constexpr SQLUSMALLINT Untouched = 0xFFFF;

SQLSMALLINT parameterType(qsizetype longest) {
    return longest > MaxVarcharParameter ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
}

// Whether the driver runs a statement for many rows of parameters at once:
// one that cannot keeps or changes a larger set size (01S02) or refuses it.
bool takesParameterArrays(const Handle& statement) {
    const SQLRETURN rc =
        SQLSetStmtAttrW(statement.get(), SQL_ATTR_PARAMSET_SIZE, integerAttribute(2), 0);
    SQLULEN size = 0;
    const bool taken =
        rc == SQL_SUCCESS &&
        succeeded(SQLGetStmtAttrW(statement.get(), SQL_ATTR_PARAMSET_SIZE, &size, 0, nullptr)) &&
        size == 2;
    SQLSetStmtAttrW(statement.get(), SQL_ATTR_PARAMSET_SIZE, integerAttribute(1), 0);
    return taken;
}

// A statement prepared once. Rows of values go to the driver as parameter
// arrays, one column-wise array per "?", each sized to the longest value of
// its column in the array, so no value is cut. A single row goes through a
// statement of its own, bound at its values' own lengths: psqlODBC, given
// an array of one row, prepares on the server and from then on sends every
// row of every later array as an exchange of its own.
class OdbcPrepared final : public PreparedEngine {
public:
    OdbcPrepared(const std::shared_ptr<Handle>& connection, const QString& sql, int commandTimeout)
        : m_connection(connection),
          m_sql(sql),
          m_commandTimeout(commandTimeout),
          m_statement(prepared(connection, sql, commandTimeout)) {
        SQLSMALLINT count = 0;
        check(SQLNumParams(m_statement->get(), &count), *m_statement, "SQLNumParams");
        m_parameterCount = count;
        m_parameterArrays = takesParameterArrays(*m_statement);
    }

    int parameterCount() const override { return m_parameterCount; }

    // The whole unit (autocommit off, the rows bound and run, their
    // statuses read, the commit) is one call on the worker: the window's
    // thread waits for the scheduler once, not at every driver call.
    // Closing the window cancels the rows while they run, never their
    // commit (see cancelUnlessCommitting): a close during the commit waits
    // for it, and rows it committed count as written.
    void executeCommitted(std::span<const Row> rows, EmptyText empty) override {
        m_connection->throwIfLost();
        requireNoTransaction();
        const InOneCall inOneCall(m_inOneCall);
        m_phase = Phase::Idle;
        std::optional<LastWords> unknown;
        if (!OnWorkerThread()) unknown.emplace([this, count = rows.size()] { logOutcome(count); });
        const auto told = qScopeGuard([this, &rows] { logOutcomeIfAbandoned(rows.size()); });
        check(callServer(
                  *m_statement, [&] { return commitRows(rows, empty); }, m_cancel),
              *m_connection, "SQLSetConnectAttr(AUTOCOMMIT)");
    }

    // With a window served, the same unit runs on a thread of its own while
    // the caller goes on; the window's thread waits only at the finish.
    bool beginCommitted(std::span<const Row> rows, EmptyText empty) override {
        const RunContext* context = m_connection->runContext();
        if (!context || !context->servesWhileWaiting()) return false;
        m_connection->throwIfLost();
        requireNoTransaction();
        m_inOneCall = true;
        m_asideRows = rows.size();
        m_phase = Phase::Idle;
        if (!OnWorkerThread())
            m_unknown.emplace([this, count = rows.size()] { logOutcome(count); });
        m_aside.start(
            [this, rows, empty] {
                check(commitRows(rows, empty), *m_connection, "SQLSetConnectAttr(AUTOCOMMIT)");
            },
            m_cancel);
        return true;
    }

    void finishCommitted() override {
        const ServerCall watched(*m_statement);
        const auto done = qScopeGuard([this] {
            m_inOneCall = false;
            m_unknown.reset();
        });
        const auto told = qScopeGuard([this] { logOutcomeIfAbandoned(m_asideRows); });
        m_aside.wait(m_connection->runContext());
    }

    ~OdbcPrepared() override {
        // Rows still with the server are not waited for by anyone else; the
        // statement must outlive them.
        m_aside.stop(m_connection->runContext());
        if (m_unknown) {
            m_unknown.reset();
            logOutcomeIfAbandoned(m_asideRows);
        }
    }
    OdbcPrepared(const OdbcPrepared&) = delete;
    OdbcPrepared& operator=(const OdbcPrepared&) = delete;

    // Arrays are cut where their buffers would pass the bound; a row that
    // passes it alone goes by itself.
    void execute(std::span<const Row> rows, EmptyText empty) override {
        m_connection->throwIfLost();
        if (!m_parameterArrays) {
            // Row by row, for a driver without parameter arrays.
            for (const Row& row : rows) executeSingle(row, empty);
            return;
        }
        for (size_t start = 0; start < rows.size();) {
            const size_t end = arrayEnd(rows, start);
            if (end - start == 1)
                executeSingle(rows[start], empty);
            else
                executeArray(rows.subspan(start, end - start), empty);
            start = end;
        }
    }

private:
    void requireNoTransaction() const {
        SQLUINTEGER autocommit = SQL_AUTOCOMMIT_ON;
        if (succeeded(SQLGetConnectAttrW(m_connection->get(), SQL_ATTR_AUTOCOMMIT, &autocommit, 0,
                                         nullptr)) &&
            autocommit == SQL_AUTOCOMMIT_OFF)
            throw DbError(transactionOpenText());
    }

    // Autocommit off, the rows run, committed (or rolled back before the
    // failure is thrown), autocommit on again: what turning it on returned.
    SQLRETURN commitRows(std::span<const Row> rows, EmptyText empty) {
        const Handle& connection = *m_connection;
        m_phase = Phase::Running;
        check(setAutocommit(connection, false), connection, "SQLSetConnectAttr(AUTOCOMMIT)");
        try {
            execute(rows, empty);
            {
                const std::lock_guard lock(m_cancelMutex);
                m_phase = Phase::Committing;
            }
            check(SQLEndTran(SQL_HANDLE_DBC, connection.get(), SQL_COMMIT), connection,
                  "SQLEndTran");
            m_phase = Phase::Committed;
        } catch (...) {
            // A commit that lost its connection may or may not have taken
            // effect; one the server refused did not.
            m_phase = m_phase == Phase::Committing && connection.lost() ? Phase::Unknown
                                                                        : Phase::NotCommitted;
            // A lost connection has nothing left to undo, and nothing more
            // is sent on it.
            if (!connection.lost()) {
                SQLEndTran(SQL_HANDLE_DBC, connection.get(), SQL_ROLLBACK);
                setAutocommit(connection, true);
            }
            throw;
        }
        return setAutocommit(connection, true);
    }

    // Oracle's cancel is a break on the whole connection, which would stop
    // a COMMIT as well as the rows: once the commit has begun, the cancel
    // leaves it be, and the close waits for it.
    void cancelUnlessCommitting() {
        const std::lock_guard lock(m_cancelMutex);
        if (m_phase != Phase::Committing) SQLCancel(m_statement->get());
    }

    // After a unit of rows during which the run was abandoned: whether they
    // were committed, said in the log with their number.
    void logOutcomeIfAbandoned(size_t rows) const {
        const RunContext* context = m_connection->runContext();
        if (context && context->abandoned()) logOutcome(rows);
    }

    void logOutcome(size_t rows) const {
        const Phase phase = m_phase;
        const char* outcome = phase == Phase::Committed ? "committed"
                              : phase == Phase::Committing || phase == Phase::Unknown
                                  ? "unknown whether committed: the commit had not answered"
                                  : "not committed";
        qCInfo(lcOdbc).noquote() << QStringLiteral(
                                        "%1 rows were with the server as the run "
                                        "ended: %2")
                                        .arg(qulonglong(rows))
                                        .arg(QLatin1String(outcome));
    }

    // here: the call is part of one already made on the worker.
    static std::shared_ptr<Handle> prepared(const std::shared_ptr<Handle>& connection,
                                            const QString& sql, int commandTimeout,
                                            bool here = false) {
        auto statement = newStatement(connection, commandTimeout);
        const SQLWCHAR* text = wide(sql);
        const auto prepare = [&] {
            return SQLPrepareW(statement->get(), const_cast<SQLWCHAR*>(text), SQL_NTS);
        };
        // Some drivers send the statement to the server to prepare it.
        check(here ? prepare() : callServer(*statement, prepare), *statement, "SQLPrepare");
        return statement;
    }

    // The end of the array that starts at start: as many rows as fit the
    // bound, one at least.
    size_t arrayEnd(std::span<const Row> rows, size_t start) const {
        std::vector<qsizetype> longest(size_t(m_parameterCount), 0);
        for (size_t end = start; end < rows.size(); ++end) {
            qsizetype rowBytes = 0;
            for (size_t p = 0; p < longest.size(); ++p) {
                if (const Value& value = rows[end][p])
                    longest[p] = std::max(longest[p], value->size());
                rowBytes +=
                    (longest[p] + 1) * qsizetype(sizeof(SQLWCHAR)) + qsizetype(sizeof(SQLLEN));
            }
            if (end > start && rowBytes * qsizetype(end - start + 1) > MaxArrayBytes) return end;
        }
        return rows.size();
    }

    // One row on the statement for single rows, its values bound where they
    // lie, at their own lengths: nothing is copied, however long they are.
    void executeSingle(const Row& row, EmptyText empty) {
        if (!m_single) m_single = prepared(m_connection, m_sql, m_commandTimeout, m_inOneCall);
        const Handle& statement = *m_single;
        std::vector<SQLLEN> lengths(row.size());
        static SQLWCHAR none = 0;
        const auto unbind = qScopeGuard([&] { reset(statement); });
        for (size_t p = 0; p < row.size(); ++p) {
            const Value& value = BoundValue(row[p], empty);
            lengths[p] = value ? SQLLEN(value->size()) * SQLLEN(sizeof(SQLWCHAR)) : SQL_NULL_DATA;
            const qsizetype size = value ? value->size() : 0;
            SQLPOINTER data = value ? const_cast<SQLWCHAR*>(wide(*value)) : &none;
            check(
                SQLBindParameter(statement.get(), SQLUSMALLINT(p + 1), SQL_PARAM_INPUT, SQL_C_WCHAR,
                                 parameterType(size), SQLULEN(std::max<qsizetype>(size, 1)), 0,
                                 data, std::max<SQLLEN>(lengths[p], 0), &lengths[p]),
                statement, "SQLBindParameter");
        }
        run(statement);
    }

    void executeArray(std::span<const Row> rows, EmptyText empty) {
        const size_t count = rows.size();
        const Handle& statement = *m_statement;
        std::vector<std::vector<SQLWCHAR>> values(static_cast<size_t>(m_parameterCount));
        std::vector<std::vector<SQLLEN>> lengths(static_cast<size_t>(m_parameterCount));
        // Filled with a value no driver writes, so a row the driver left
        // untouched is told from one it marked unused.
        std::vector<SQLUSMALLINT> status(count, Untouched);
        SQLULEN processed = 0;

        // The bindings point into the vectors above: undone before they go.
        const auto unbind = qScopeGuard([&] {
            reset(statement);
            SQLSetStmtAttrW(statement.get(), SQL_ATTR_PARAMSET_SIZE, integerAttribute(1), 0);
            SQLSetStmtAttrW(statement.get(), SQL_ATTR_PARAM_STATUS_PTR, nullptr, 0);
            SQLSetStmtAttrW(statement.get(), SQL_ATTR_PARAMS_PROCESSED_PTR, nullptr, 0);
        });
        setArrayAttributes(count, status.data(), &processed);
        for (int p = 0; p < m_parameterCount; ++p)
            bindColumn(rows, p, empty, values[size_t(p)], lengths[size_t(p)]);
        const SQLRETURN rc = run(statement);
        throwUnlessEveryRowRan(statement, rc, status, processed);
    }

    // A row was run only when the driver says so, within the count it
    // processed: it may stop at a failing row, or anywhere, and leave the
    // rest unused. A failed row leaves only its status behind when others
    // succeeded. A driver that fills no statuses (the SQLite ODBC driver
    // leaves them as they were) still says every row ran when it answers
    // SQL_SUCCESS and counts them all processed.
    static void throwUnlessEveryRowRan(const Handle& statement, SQLRETURN rc,
                                       const std::vector<SQLUSMALLINT>& status, SQLULEN processed) {
        for (size_t r = 0; r < status.size(); ++r) {
            if (status[r] == SQL_PARAM_ERROR || status[r] == SQL_PARAM_DIAG_UNAVAILABLE)
                throwDiagnostics(statement, "SQLExecute: a row of the batch failed");
        }
        const bool allSaidRun = rc == SQL_SUCCESS && processed == status.size();
        for (size_t r = 0; r < status.size(); ++r) {
            const bool ran = r < processed && (status[r] == SQL_PARAM_SUCCESS ||
                                               status[r] == SQL_PARAM_SUCCESS_WITH_INFO ||
                                               (status[r] == Untouched && allSaidRun));
            if (!ran)
                throw DbError(QStringLiteral("SQLExecute: the driver ran %1 of the %2 rows of "
                                             "the batch and left the rest unused.")
                                  .arg(qulonglong(std::min<SQLULEN>(processed, r)))
                                  .arg(qulonglong(status.size())));
        }
    }

    void setArrayAttributes(size_t count, SQLUSMALLINT* status, SQLULEN* processed) {
        const Handle& statement = *m_statement;
        check(SQLSetStmtAttrW(statement.get(), SQL_ATTR_PARAM_BIND_TYPE,
                              integerAttribute(SQL_PARAM_BIND_BY_COLUMN), 0),
              statement, "SQLSetStmtAttr(PARAM_BIND_TYPE)");
        check(SQLSetStmtAttrW(statement.get(), SQL_ATTR_PARAMSET_SIZE, integerAttribute(count), 0),
              statement, "SQLSetStmtAttr(PARAMSET_SIZE)");
        check(SQLSetStmtAttrW(statement.get(), SQL_ATTR_PARAM_STATUS_PTR, status, 0), statement,
              "SQLSetStmtAttr(PARAM_STATUS_PTR)");
        check(SQLSetStmtAttrW(statement.get(), SQL_ATTR_PARAMS_PROCESSED_PTR, processed, 0),
              statement, "SQLSetStmtAttr(PARAMS_PROCESSED_PTR)");
    }

    // Parameter p of every row, into one buffer of equal slots.
    void bindColumn(std::span<const Row> rows, int p, EmptyText empty,
                    std::vector<SQLWCHAR>& buffer, std::vector<SQLLEN>& length) {
        const size_t count = rows.size();
        qsizetype longest = 0;
        for (const Row& row : rows)
            if (const Value& value = row[size_t(p)]) longest = std::max(longest, value->size());
        const qsizetype width = longest + 1;  // the terminating NUL
        buffer.assign(size_t(width) * count, 0);
        length.resize(count);
        for (size_t r = 0; r < count; ++r) {
            const Value& value = BoundValue(rows[r][size_t(p)], empty);
            if (!value) {
                length[r] = SQL_NULL_DATA;
                continue;
            }
            std::copy_n(wide(*value), value->size(), buffer.data() + qsizetype(r) * width);
            length[r] = SQLLEN(value->size()) * SQLLEN(sizeof(SQLWCHAR));
        }
        check(SQLBindParameter(m_statement->get(), SQLUSMALLINT(p + 1), SQL_PARAM_INPUT,
                               SQL_C_WCHAR, parameterType(longest),
                               SQLULEN(std::max<qsizetype>(longest, 1)), 0, buffer.data(),
                               SQLLEN(width) * SQLLEN(sizeof(SQLWCHAR)), length.data()),
              *m_statement, "SQLBindParameter");
    }

    // Marks the calls made meanwhile as parts of one call already on the
    // worker (or on this thread, with no window to serve).
    class InOneCall final {
    public:
        explicit InOneCall(bool& flag) : m_flag(flag) { m_flag = true; }
        ~InOneCall() { m_flag = false; }
        InOneCall(const InOneCall&) = delete;
        InOneCall& operator=(const InOneCall&) = delete;

    private:
        bool& m_flag;
    };

    // A call to the server: handed to the worker, unless it is part of one
    // call that already is.
    template <typename Call>
    SQLRETURN serverCall(const Handle& statement, Call&& call) const {
        if (m_inOneCall) return call();
        return callServer(statement, std::forward<Call>(call));
    }

    // What the driver answered, a success: SQL_NO_DATA when the statement
    // touched no row.
    SQLRETURN run(const Handle& statement) const {
        const SQLRETURN rc = serverCall(statement, [&] { return SQLExecute(statement.get()); });
        if (rc != SQL_NO_DATA) check(rc, statement, "SQLExecute");
        return rc;
    }

    void reset(const Handle& statement) const {
        // A cursor left open would refuse the next execution. Closing more
        // than that makes some drivers prepare the statement anew.
        SQLSMALLINT columns = 0;
        if (succeeded(SQLNumResultCols(statement.get(), &columns)) && columns > 0)
            serverCall(statement, [&] { return SQLFreeStmt(statement.get(), SQL_CLOSE); });
        SQLFreeStmt(statement.get(), SQL_RESET_PARAMS);
    }

    std::shared_ptr<Handle> m_connection;
    QString m_sql;
    int m_commandTimeout;
    std::shared_ptr<Handle> m_statement;  // for arrays of two rows or more
    std::shared_ptr<Handle> m_single;     // for single rows, made when first needed
    int m_parameterCount = 0;
    bool m_parameterArrays = true;
    // Set only while the window's thread waits, or rows begun run aside.
    bool m_inOneCall = false;
    WorkAhead m_aside;  // rows begun beside the caller
    size_t m_asideRows = 0;
    // Where the unit of rows stands, for the cancel and for the log.
    enum class Phase { Idle, Running, Committing, Committed, NotCommitted, Unknown };
    std::atomic<Phase> m_phase{Phase::Idle};
    std::mutex m_cancelMutex;
    const std::function<void()> m_cancel = [this] { cancelUnlessCommitting(); };
    // Says in the log, should the program end during the rows begun aside,
    // how far they got.
    std::optional<LastWords> m_unknown;
};

class OdbcConnection final : public ConnectionEngine {
public:
    OdbcConnection(const QString& connectionString, const ConnectionSettings& settings)
        : m_commandTimeout(settings.commandTimeout) {
        auto environment = std::make_shared<Handle>(SQL_HANDLE_ENV, nullptr);
        check(SQLSetEnvAttr(environment->get(), SQL_ATTR_ODBC_VERSION,
                            reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
              *environment, "SQLSetEnvAttr");
        m_connection = std::make_shared<Handle>(SQL_HANDLE_DBC, environment);
        m_connection->setRunContext(settings.runContext);
        SQLHANDLE dbc = m_connection->get();
        check(SQLSetConnectAttrW(dbc, SQL_ATTR_LOGIN_TIMEOUT,
                                 integerAttribute(SQLULEN(settings.connectionTimeout)), 0),
              *m_connection, "SQLSetConnectAttr(LOGIN_TIMEOUT)");
        // A driver that has no connection time-out of its own keeps its default.
        SQLSetConnectAttrW(dbc, SQL_ATTR_CONNECTION_TIMEOUT,
                           integerAttribute(SQLULEN(settings.connectionTimeout)), 0);
        if (settings.mode == Mode::ReadWrite)
            SQLSetConnectAttrW(dbc, SQL_ATTR_ACCESS_MODE, integerAttribute(SQL_MODE_READ_WRITE), 0);
        // Cursor location has no ODBC equivalent: every result is read through
        // a forward-only cursor, whichever location was asked for.

        const QString text = withNetServiceName(connectionString);
        SQLWCHAR completed[1024];
        SQLSMALLINT completedLength = 0;
        // Taken here, not on the worker: utf16() may have to make the text.
        SQLWCHAR* textPointer = const_cast<SQLWCHAR*>(wide(text));
        check(callServer(*m_connection,
                         [&] {
                             return SQLDriverConnectW(dbc, nullptr, textPointer, SQL_NTS, completed,
                                                      SQLSMALLINT(std::size(completed)),
                                                      &completedLength, SQL_DRIVER_NOPROMPT);
                         }),
              *m_connection, "SQLDriverConnect");
        m_connection->setConnected();
    }

    ~OdbcConnection() override {
        // A driver refuses to disconnect in the middle of a transaction, and
        // result sets may keep the connection open after this object.
        if (m_inTransaction && !m_connection->lost()) {
            endTran(SQL_ROLLBACK);
            setAutocommit(*m_connection, true);
        }
        // With nothing else holding the connection, it parts from the server
        // while the run context still hears of it; results and statements
        // that outlive this object go on without the context, which need
        // not outlive it.
        if (m_connection.use_count() == 1) m_connection->disconnect();
        m_connection->setRunContext(nullptr);
    }

    void execute(const QString& statement) override { run(statement); }
    void executeToEnd(const QString& statement) override { run(statement, Cancellable::No); }

    std::unique_ptr<ResultEngine> query(const QString& statement) override {
        return readResult(run(statement));
    }

    std::unique_ptr<PreparedEngine> prepare(const QString& statement) override {
        m_connection->throwIfLost();
        return std::make_unique<OdbcPrepared>(m_connection, statement, m_commandTimeout);
    }

    void beginTransaction() override {
        m_connection->throwIfLost();
        if (m_inTransaction) throw DbError(transactionOpenText());
        check(setAutocommit(*m_connection, false), *m_connection, "SQLSetConnectAttr(AUTOCOMMIT)");
        m_inTransaction = true;
    }
    void commit() override { endTransaction(SQL_COMMIT); }
    void rollback() override { endTransaction(SQL_ROLLBACK); }

    QString dbmsName() override {
        m_connection->throwIfLost();
        SQLWCHAR name[128] = {};
        SQLSMALLINT bytes = 0;
        check(SQLGetInfoW(m_connection->get(), SQL_DBMS_NAME, name, SQLSMALLINT(sizeof(name)),
                          &bytes),
              *m_connection, "SQLGetInfo(DBMS_NAME)");
        // A name longer than the buffer comes back cut, its length uncut.
        return fromWide(name, std::min(qsizetype(bytes) / qsizetype(sizeof(SQLWCHAR)),
                                       qsizetype(std::size(name)) - 1));
    }

    ServerLimits limits() override {
        m_connection->throwIfLost();
        const auto limit = [&](SQLUSMALLINT type, const char* what) {
            SQLUSMALLINT value = 0;
            check(SQLGetInfoW(m_connection->get(), type, &value, sizeof(value), nullptr),
                  *m_connection, what);
            return int(value);
        };
        return {limit(SQL_MAX_COLUMNS_IN_TABLE, "SQLGetInfo(MAX_COLUMNS_IN_TABLE)"),
                limit(SQL_MAX_COLUMN_NAME_LEN, "SQLGetInfo(MAX_COLUMN_NAME_LEN)"),
                limit(SQL_MAX_TABLE_NAME_LEN, "SQLGetInfo(MAX_TABLE_NAME_LEN)")};
    }

private:
    // Oracle's own ODBC driver takes the net service name from DBQ rather than
    // Server, so the SID goes to the driver under both names.
    static QString withNetServiceName(const QString& connectionString) {
        if (findAttribute(connectionString, QStringLiteral("DBQ"))) return connectionString;
        const auto server = findAttribute(connectionString, QStringLiteral("Server"));
        if (!server) return connectionString;
        QString text = connectionString;
        if (!text.isEmpty() && !text.endsWith(QLatin1Char(';'))) text += QLatin1Char(';');
        return text + QStringLiteral("DBQ=") + attributeValueText(*server) + QLatin1Char(';');
    }

    std::shared_ptr<Handle> run(const QString& statement,
                                Cancellable cancellable = Cancellable::Yes) {
        m_connection->throwIfLost();
        auto handle = newStatement(m_connection, m_commandTimeout);
        SQLWCHAR* text = const_cast<SQLWCHAR*>(wide(statement));
        const SQLRETURN rc = callServer(
            *handle, [&] { return SQLExecDirectW(handle->get(), text, SQL_NTS); }, cancellable);
        // A statement that touches no row answers SQL_NO_DATA: that is success.
        if (rc != SQL_NO_DATA) check(rc, *handle, "SQLExecDirect");
        return handle;
    }

    SQLRETURN endTran(SQLSMALLINT completion) {
        return callServer(*m_connection, [&] {
            return SQLEndTran(SQL_HANDLE_DBC, m_connection->get(), completion);
        });
    }

    void endTransaction(SQLSMALLINT completion) {
        m_connection->throwIfLost();
        if (!m_inTransaction) throw DbError(noTransactionText());
        check(endTran(completion), *m_connection, "SQLEndTran");
        m_inTransaction = false;
        check(setAutocommit(*m_connection, true), *m_connection, "SQLSetConnectAttr(AUTOCOMMIT)");
    }

    std::shared_ptr<Handle> m_connection;
    int m_commandTimeout;
    bool m_inTransaction = false;
};

}  // namespace
}  // namespace odbc

std::unique_ptr<ConnectionEngine> openOdbc(const QString& connectionString,
                                           const ConnectionSettings& settings) {
    return std::make_unique<odbc::OdbcConnection>(connectionString, settings);
}

}  // namespace db
