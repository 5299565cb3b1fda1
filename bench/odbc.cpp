#include "odbc.h"

#include <algorithm>
#include <iterator>

#include "bench_error.h"

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "SQLWCHAR must be UTF-16");

namespace bench {
namespace {

QString fromWide(const SQLWCHAR* text, qsizetype length) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length);
}

[[noreturn]] void throwDiagnostics(SQLSMALLINT type, SQLHANDLE handle, const char* what) {
    QString text = QString::fromLatin1(what) + QLatin1Char(':');
    bool any = false;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR message[1024] = {};
        SQLSMALLINT length = 0;
        const SQLRETURN rc = SQLGetDiagRecW(type, handle, record, state, &native, message,
                                            SQLSMALLINT(std::size(message)), &length);
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) break;
        const qsizetype shown = std::min<qsizetype>(length, qsizetype(std::size(message)) - 1);
        text += QStringLiteral(" [%1] ").arg(fromWide(state, 5)) + fromWide(message, shown);
        any = true;
    }
    if (!any) text += QStringLiteral(" no diagnostic record");
    throw BenchError(text);
}

// The environment, told to speak ODBC 3 before any connection is made from it.
SQLHANDLE odbc3(const OdbcHandle& environment) {
    environment.check(SQLSetEnvAttr(environment.get(), SQL_ATTR_ODBC_VERSION,
                                    reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
                      "SQLSetEnvAttr");
    return environment.get();
}

}  // namespace

SQLWCHAR* Wide(const QString& text) {
    return const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(text.utf16()));
}

OdbcHandle::OdbcHandle(SQLSMALLINT type, SQLHANDLE parent) : m_type(type) {
    const SQLRETURN rc = SQLAllocHandle(type, parent, &m_handle);
    if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) return;
    if (parent == SQL_NULL_HANDLE)
        throw BenchError(QStringLiteral("The ODBC driver manager could not allocate a handle."));
    throwDiagnostics(type == SQL_HANDLE_STMT ? SQL_HANDLE_DBC : SQL_HANDLE_ENV, parent,
                     "SQLAllocHandle");
}

OdbcHandle::~OdbcHandle() { SQLFreeHandle(m_type, m_handle); }

void OdbcHandle::check(SQLRETURN rc, const char* what) const {
    if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) return;
    if (rc == SQL_INVALID_HANDLE)
        throw BenchError(QString::fromLatin1(what) + QStringLiteral(": invalid handle"));
    throwDiagnostics(m_type, m_handle, what);
}

OdbcConnection::OdbcConnection(const QString& connectionString)
    : m_environment(SQL_HANDLE_ENV, SQL_NULL_HANDLE),
      m_connection(SQL_HANDLE_DBC, odbc3(m_environment)) {
    SQLWCHAR completed[1024];
    SQLSMALLINT completedLength = 0;
    m_connection.check(
        SQLDriverConnectW(m_connection.get(), nullptr, Wide(connectionString), SQL_NTS, completed,
                          SQLSMALLINT(std::size(completed)), &completedLength, SQL_DRIVER_NOPROMPT),
        "SQLDriverConnect");
}

// Only a connection that opened gets here: a failed constructor frees its
// handles without the destructor.
OdbcConnection::~OdbcConnection() { SQLDisconnect(m_connection.get()); }

void OdbcConnection::execute(const QString& statement) {
    OdbcStatement(*this).executeDirect(statement);
}

void OdbcStatement::executeDirect(const QString& statement) {
    const SQLRETURN rc = SQLExecDirectW(get(), Wide(statement), SQL_NTS);
    // A statement that touches no row answers SQL_NO_DATA: that is success.
    if (rc != SQL_NO_DATA) check(rc, "SQLExecDirect");
}

}  // namespace bench
