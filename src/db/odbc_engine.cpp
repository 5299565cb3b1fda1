// ODBC engine of the data access layer: unixODBC's wide-character API, whose
// SQLWCHAR is 16 bits like QChar, so texts pass without another encoding.
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "db/connection_string_attributes.h"
#include "db/db_error.h"
#include "db/engine.h"

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "SQLWCHAR must be UTF-16");

namespace db {
namespace {

const SQLWCHAR* wide(const QString& text) {
    return reinterpret_cast<const SQLWCHAR*>(text.utf16());
}

// The code units as they are: QString::fromUtf16 would drop a leading U+FEFF
// or byte-swap text starting with U+FFFE, in every chunk of a long value.
QString fromWide(const SQLWCHAR* text, qsizetype length) {
    return QString(reinterpret_cast<const QChar*>(text), length);
}

class Handle;
[[noreturn]] void throwDiagnostics(const Handle& handle, const char* fallback);

// One owner per native handle; the child keeps its parent alive, so a result
// set may outlive the connection object that made it.
class Handle final {
public:
    Handle(SQLSMALLINT type, std::shared_ptr<Handle> parent)
        : m_type(type), m_parent(std::move(parent)) {
        const SQLRETURN rc =
            SQLAllocHandle(type, m_parent ? m_parent->get() : SQL_NULL_HANDLE, &m_handle);
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) {
            if (m_parent) throwDiagnostics(*m_parent, "SQLAllocHandle failed");
            throw DbError(QStringLiteral("The ODBC driver manager could not allocate a handle."));
        }
    }
    ~Handle() {
        if (m_type == SQL_HANDLE_DBC && m_connected) SQLDisconnect(m_handle);
        SQLFreeHandle(m_type, m_handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    SQLHANDLE get() const { return m_handle; }
    SQLSMALLINT type() const { return m_type; }
    void setConnected() { m_connected = true; }

    // The connection this handle belongs to, once it is connected.
    const Handle* connection() const {
        if (m_type == SQL_HANDLE_DBC) return m_connected ? this : nullptr;
        return m_parent ? m_parent->connection() : nullptr;
    }

private:
    SQLSMALLINT m_type;
    std::shared_ptr<Handle> m_parent;
    SQLHANDLE m_handle = SQL_NULL_HANDLE;
    bool m_connected = false;
};

// The driver's own answer whether the connection died; none when it cannot
// tell (the attribute is optional for drivers).
std::optional<bool> connectionDead(const Handle& handle) {
    const Handle* connection = handle.connection();
    if (!connection) return std::nullopt;
    SQLUINTEGER dead = SQL_CD_FALSE;
    const SQLRETURN rc =
        SQLGetConnectAttrW(connection->get(), SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) return std::nullopt;
    return dead == SQL_CD_TRUE;
}

// The diagnostic records of a handle as one exception: the message texts (the
// driver's own words, as the user should read them), the first state beside.
[[noreturn]] void throwDiagnostics(const Handle& handle, const char* fallback) {
    QString description;
    QString firstState;
    long firstNative = 0;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR message[1024] = {};
        SQLSMALLINT length = 0;
        const SQLRETURN rc = SQLGetDiagRecW(handle.type(), handle.get(), record, state, &native,
                                            message, SQLSMALLINT(std::size(message)), &length);
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) break;
        const qsizetype shown = std::min<qsizetype>(length, qsizetype(std::size(message)) - 1);
        if (record == 1) {
            firstState = fromWide(state, 5);
            firstNative = native;
        } else {
            description += QLatin1Char('\n');
        }
        description += fromWide(message, shown);
    }
    if (description.isEmpty() && firstState.isEmpty()) description = QString::fromLatin1(fallback);
    throw DbError(description, firstState, firstNative, connectionDead(handle));
}

void check(SQLRETURN rc, const Handle& handle, const char* what) {
    if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) return;
    if (rc == SQL_INVALID_HANDLE)
        throw DbError(QString::fromLatin1(what) + QStringLiteral(": invalid handle"));
    throwDiagnostics(handle, what);
}

class OdbcResult final : public ResultEngine {
public:
    explicit OdbcResult(std::shared_ptr<Handle> statement) : m_statement(std::move(statement)) {
        SQLSMALLINT columns = 0;
        check(SQLNumResultCols(m_statement->get(), &columns), *m_statement, "SQLNumResultCols");
        for (SQLSMALLINT i = 1; i <= columns; ++i) {
            SQLWCHAR name[512] = {};
            SQLSMALLINT length = 0;
            check(SQLColAttributeW(m_statement->get(), SQLUSMALLINT(i), SQL_DESC_LABEL, name,
                                   SQLSMALLINT(sizeof(name)), &length, nullptr),
                  *m_statement, "SQLColAttribute");
            const qsizetype chars = std::min<qsizetype>(length / qsizetype(sizeof(SQLWCHAR)),
                                                        qsizetype(std::size(name)) - 1);
            m_names << fromWide(name, chars);
        }
    }

    int fieldCount() const override { return int(m_names.size()); }
    QString fieldName(int index) const override {
        if (index < 0 || index >= m_names.size())
            throw DbError(QStringLiteral("Field %1 does not exist.").arg(index));
        return m_names.at(index);
    }

    bool next() override {
        m_row.clear();
        if (m_finished) return false;
        const SQLRETURN rc = SQLFetch(m_statement->get());
        if (rc == SQL_NO_DATA) {
            m_finished = true;
            return false;
        }
        try {
            check(rc, *m_statement, "SQLFetch");
            m_row.reserve(size_t(m_names.size()));
            for (int i = 1; i <= fieldCount(); ++i) m_row.push_back(readValue(SQLUSMALLINT(i)));
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
    // The driver converts the value to text itself; a long value comes in
    // pieces until the driver says it is complete.
    Value readValue(SQLUSMALLINT column) {
        QString text;
        SQLWCHAR buffer[4096];
        for (;;) {
            SQLLEN indicator = 0;
            const SQLRETURN rc = SQLGetData(m_statement->get(), column, SQL_C_WCHAR, buffer,
                                            sizeof(buffer), &indicator);
            if (rc == SQL_NO_DATA) break;
            check(rc, *m_statement, "SQLGetData");
            if (indicator == SQL_NULL_DATA) return std::nullopt;
            const qsizetype capacity = qsizetype(std::size(buffer)) - 1;
            if (rc == SQL_SUCCESS) {
                const qsizetype chars =
                    indicator == SQL_NO_TOTAL ? capacity : indicator / qsizetype(sizeof(SQLWCHAR));
                text += fromWide(buffer, std::min(chars, capacity));
                break;
            }
            // SQL_SUCCESS_WITH_INFO: the buffer is full and more follows.
            text += fromWide(buffer, capacity);
        }
        return text;
    }

    std::shared_ptr<Handle> m_statement;
    QStringList m_names;
    Row m_row;
    bool m_finished = false;
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
        SQLHANDLE dbc = m_connection->get();
        check(SQLSetConnectAttrW(dbc, SQL_ATTR_LOGIN_TIMEOUT,
                                 reinterpret_cast<SQLPOINTER>(SQLULEN(settings.connectionTimeout)),
                                 0),
              *m_connection, "SQLSetConnectAttr(LOGIN_TIMEOUT)");
        // A driver that has no connection time-out of its own keeps its default.
        SQLSetConnectAttrW(dbc, SQL_ATTR_CONNECTION_TIMEOUT,
                           reinterpret_cast<SQLPOINTER>(SQLULEN(settings.connectionTimeout)), 0);
        if (settings.mode == Mode::ReadWrite)
            SQLSetConnectAttrW(dbc, SQL_ATTR_ACCESS_MODE,
                               reinterpret_cast<SQLPOINTER>(SQLULEN(SQL_MODE_READ_WRITE)), 0);
        // Cursor location has no ODBC equivalent: every result is read through
        // a forward-only cursor, row by row, whichever location was asked for.

        const QString text = withNetServiceName(connectionString);
        SQLWCHAR completed[1024];
        SQLSMALLINT completedLength = 0;
        check(SQLDriverConnectW(dbc, nullptr, const_cast<SQLWCHAR*>(wide(text)), SQL_NTS, completed,
                                SQLSMALLINT(std::size(completed)), &completedLength,
                                SQL_DRIVER_NOPROMPT),
              *m_connection, "SQLDriverConnect");
        m_connection->setConnected();
    }

    void execute(const QString& statement) override { run(statement); }

    std::unique_ptr<ResultEngine> query(const QString& statement) override {
        return std::make_unique<OdbcResult>(run(statement));
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

    std::shared_ptr<Handle> run(const QString& statement) {
        auto handle = std::make_shared<Handle>(SQL_HANDLE_STMT, m_connection);
        SQLHANDLE stmt = handle->get();
        SQLSetStmtAttrW(stmt, SQL_ATTR_QUERY_TIMEOUT,
                        reinterpret_cast<SQLPOINTER>(SQLULEN(m_commandTimeout)), 0);
        const SQLRETURN rc = SQLExecDirectW(stmt, const_cast<SQLWCHAR*>(wide(statement)), SQL_NTS);
        // A statement that touches no row answers SQL_NO_DATA: that is success.
        if (rc != SQL_NO_DATA) check(rc, *handle, "SQLExecDirect");
        return handle;
    }

    std::shared_ptr<Handle> m_connection;
    int m_commandTimeout;
};

}  // namespace

std::unique_ptr<ConnectionEngine> openOdbc(const QString& connectionString,
                                           const ConnectionSettings& settings) {
    return std::make_unique<OdbcConnection>(connectionString, settings);
}

}  // namespace db
