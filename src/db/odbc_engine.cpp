// ODBC engine of the data access layer: connections through the driver
// manager, statements run at once or prepared, transactions.
#include <QScopeGuard>
#include <vector>

#include "db/connection_string_attributes.h"
#include "db/db_error.h"
#include "db/engine.h"
#include "db/odbc_result.h"
#include "db/odbc_support.h"

namespace db {
namespace odbc {
namespace {

// Values longer than this go to the driver as long text: Oracle takes at
// most 4,000 bytes in a VARCHAR2 parameter.
constexpr qsizetype MaxVarcharParameter = 4000;

SQLPOINTER integerAttribute(SQLULEN value) { return reinterpret_cast<SQLPOINTER>(value); }

std::shared_ptr<Handle> newStatement(const std::shared_ptr<Handle>& connection,
                                     int commandTimeout) {
    auto handle = std::make_shared<Handle>(SQL_HANDLE_STMT, connection);
    SQLSetStmtAttrW(handle->get(), SQL_ATTR_QUERY_TIMEOUT,
                    integerAttribute(SQLULEN(commandTimeout)), 0);
    return handle;
}

// Whether the driver runs a statement for many rows of parameters at once:
// one that cannot keeps or changes a larger set size (01S02) or refuses it.
bool takesParameterArrays(const Handle& statement) {
    if (statement.switchedOff().parameterArrays) return false;
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

// A statement prepared once; rows of values go to the driver as parameter
// arrays, one column-wise array per "?", each sized to the longest value of
// its column in the batch, so no value is cut.
class OdbcPrepared final : public PreparedEngine {
public:
    OdbcPrepared(const std::shared_ptr<Handle>& connection, const QString& sql, int commandTimeout)
        : m_statement(newStatement(connection, commandTimeout)) {
        // Some drivers send the statement to the server to prepare it.
        check(callServer(
                  *m_statement,
                  [&] { return SQLPrepareW(stmt(), const_cast<SQLWCHAR*>(wide(sql)), SQL_NTS); }),
              *m_statement, "SQLPrepare");
        SQLSMALLINT count = 0;
        check(SQLNumParams(stmt(), &count), *m_statement, "SQLNumParams");
        m_parameterCount = count;
        m_parameterArrays = takesParameterArrays(*m_statement);
    }

    int parameterCount() const override { return m_parameterCount; }

    void execute(std::span<const Row> rows) override {
        if (rows.size() > 1 && !m_parameterArrays) {
            // Row by row, for a driver without parameter arrays.
            for (size_t r = 0; r < rows.size(); ++r) execute(rows.subspan(r, 1));
            return;
        }
        const size_t count = rows.size();
        std::vector<std::vector<SQLWCHAR>> values(static_cast<size_t>(m_parameterCount));
        std::vector<std::vector<SQLLEN>> lengths(static_cast<size_t>(m_parameterCount));
        std::vector<SQLUSMALLINT> status(count, SQL_PARAM_UNUSED);
        SQLULEN processed = 0;

        // The bindings point into the vectors above: undone before they go.
        const auto unbind = qScopeGuard([this] {
            // A cursor left open would refuse the next execution. Closing
            // more than that makes some drivers prepare the statement anew.
            SQLSMALLINT columns = 0;
            if (succeeded(SQLNumResultCols(stmt(), &columns)) && columns > 0)
                callServer(*m_statement, [this] { return SQLFreeStmt(stmt(), SQL_CLOSE); });
            SQLFreeStmt(stmt(), SQL_RESET_PARAMS);
            SQLSetStmtAttrW(stmt(), SQL_ATTR_PARAMSET_SIZE, integerAttribute(1), 0);
            SQLSetStmtAttrW(stmt(), SQL_ATTR_PARAM_STATUS_PTR, nullptr, 0);
            SQLSetStmtAttrW(stmt(), SQL_ATTR_PARAMS_PROCESSED_PTR, nullptr, 0);
        });
        check(SQLSetStmtAttrW(stmt(), SQL_ATTR_PARAM_BIND_TYPE,
                              integerAttribute(SQL_PARAM_BIND_BY_COLUMN), 0),
              *m_statement, "SQLSetStmtAttr(PARAM_BIND_TYPE)");
        check(SQLSetStmtAttrW(stmt(), SQL_ATTR_PARAMSET_SIZE, integerAttribute(count), 0),
              *m_statement, "SQLSetStmtAttr(PARAMSET_SIZE)");
        check(SQLSetStmtAttrW(stmt(), SQL_ATTR_PARAM_STATUS_PTR, status.data(), 0), *m_statement,
              "SQLSetStmtAttr(PARAM_STATUS_PTR)");
        check(SQLSetStmtAttrW(stmt(), SQL_ATTR_PARAMS_PROCESSED_PTR, &processed, 0), *m_statement,
              "SQLSetStmtAttr(PARAMS_PROCESSED_PTR)");

        for (int p = 0; p < m_parameterCount; ++p) {
            qsizetype longest = 0;
            for (const Row& row : rows)
                if (const Value& value = row[size_t(p)]) longest = std::max(longest, value->size());
            const qsizetype width = longest + 1;  // the terminating NUL
            std::vector<SQLWCHAR>& buffer = values[size_t(p)];
            std::vector<SQLLEN>& length = lengths[size_t(p)];
            buffer.assign(size_t(width) * count, 0);
            length.resize(count);
            for (size_t r = 0; r < count; ++r) {
                const Value& value = rows[r][size_t(p)];
                if (!value) {
                    length[r] = SQL_NULL_DATA;
                    continue;
                }
                std::copy_n(wide(*value), value->size(), buffer.data() + qsizetype(r) * width);
                length[r] = SQLLEN(value->size()) * SQLLEN(sizeof(SQLWCHAR));
            }
            const SQLSMALLINT type =
                longest > MaxVarcharParameter ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
            check(SQLBindParameter(stmt(), SQLUSMALLINT(p + 1), SQL_PARAM_INPUT, SQL_C_WCHAR, type,
                                   SQLULEN(std::max<qsizetype>(longest, 1)), 0, buffer.data(),
                                   SQLLEN(width) * SQLLEN(sizeof(SQLWCHAR)), length.data()),
                  *m_statement, "SQLBindParameter");
        }

        const SQLRETURN rc = callServer(*m_statement, [this] { return SQLExecute(stmt()); });
        // A statement that touches no row answers SQL_NO_DATA: that is success.
        if (rc == SQL_NO_DATA) return;
        check(rc, *m_statement, "SQLExecute");
        // With some rows done, a failed row leaves only its status behind.
        for (const SQLUSMALLINT rowStatus : status)
            if (rowStatus == SQL_PARAM_ERROR || rowStatus == SQL_PARAM_DIAG_UNAVAILABLE)
                throwDiagnostics(*m_statement, "SQLExecute: a row of the batch failed");
    }

private:
    SQLHSTMT stmt() const { return m_statement->get(); }

    std::shared_ptr<Handle> m_statement;
    int m_parameterCount = 0;
    bool m_parameterArrays = true;
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
        m_connection->setSwitchedOff(switchedOffIn(connectionString));
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
        check(callServer(*m_connection,
                         [&] {
                             return SQLDriverConnectW(dbc, nullptr,
                                                      const_cast<SQLWCHAR*>(wide(text)), SQL_NTS,
                                                      completed, SQLSMALLINT(std::size(completed)),
                                                      &completedLength, SQL_DRIVER_NOPROMPT);
                         }),
              *m_connection, "SQLDriverConnect");
        m_connection->setConnected();
    }

    ~OdbcConnection() override {
        // A driver refuses to disconnect in the middle of a transaction, and
        // result sets may keep the connection open after this object.
        if (m_inTransaction) {
            endTran(SQL_ROLLBACK);
            setAutocommit(true);
        }
        // With nothing else holding the connection, it parts from the server
        // while the run context still hears of it; results and statements
        // that outlive this object go on without the context, which need
        // not outlive it.
        if (m_connection.use_count() == 1) m_connection->disconnect();
        m_connection->setRunContext(nullptr);
    }

    void execute(const QString& statement) override { run(statement); }

    std::unique_ptr<ResultEngine> query(const QString& statement) override {
        return readResult(run(statement));
    }

    std::unique_ptr<PreparedEngine> prepare(const QString& statement) override {
        return std::make_unique<OdbcPrepared>(m_connection, statement, m_commandTimeout);
    }

    void beginTransaction() override {
        if (m_inTransaction) throw DbError(transactionOpenText());
        check(setAutocommit(false), *m_connection, "SQLSetConnectAttr(AUTOCOMMIT)");
        m_inTransaction = true;
    }
    void commit() override { endTransaction(SQL_COMMIT); }
    void rollback() override { endTransaction(SQL_ROLLBACK); }

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

    std::shared_ptr<Handle> run(const QString& statement) {
        auto handle = newStatement(m_connection, m_commandTimeout);
        const SQLRETURN rc = callServer(*handle, [&] {
            return SQLExecDirectW(handle->get(), const_cast<SQLWCHAR*>(wide(statement)), SQL_NTS);
        });
        // A statement that touches no row answers SQL_NO_DATA: that is success.
        if (rc != SQL_NO_DATA) check(rc, *handle, "SQLExecDirect");
        return handle;
    }

    SQLRETURN setAutocommit(bool on) {
        return SQLSetConnectAttrW(m_connection->get(), SQL_ATTR_AUTOCOMMIT,
                                  integerAttribute(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF),
                                  SQL_IS_UINTEGER);
    }

    SQLRETURN endTran(SQLSMALLINT completion) {
        return callServer(*m_connection, [&] {
            return SQLEndTran(SQL_HANDLE_DBC, m_connection->get(), completion);
        });
    }

    void endTransaction(SQLSMALLINT completion) {
        if (!m_inTransaction) throw DbError(noTransactionText());
        check(endTran(completion), *m_connection, "SQLEndTran");
        m_inTransaction = false;
        check(setAutocommit(true), *m_connection, "SQLSetConnectAttr(AUTOCOMMIT)");
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
