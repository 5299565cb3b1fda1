#include "db/odbc_support.h"

#include <QStringList>
#include <optional>

#include "base/run_context.h"
#include "db/connection_string_attributes.h"
#include "db/db_error.h"

namespace db {
namespace odbc {

Handle::Handle(SQLSMALLINT type, std::shared_ptr<Handle> parent)
    : m_type(type), m_parent(std::move(parent)) {
    const SQLRETURN rc =
        SQLAllocHandle(type, m_parent ? m_parent->get() : SQL_NULL_HANDLE, &m_handle);
    if (!succeeded(rc)) {
        if (m_parent) throwDiagnostics(*m_parent, "SQLAllocHandle failed");
        throw DbError(QStringLiteral("The ODBC driver manager could not allocate a handle."));
    }
}

Handle::~Handle() {
    disconnect();
    // Freeing a statement closes its cursor, on the server where the driver
    // keeps one there.
    if (m_type == SQL_HANDLE_STMT)
        callServer(
            *this, [this] { return SQLFreeHandle(m_type, m_handle); }, Cancellable::No);
    else
        SQLFreeHandle(m_type, m_handle);
}

const Handle* Handle::connection() const {
    if (m_type == SQL_HANDLE_DBC) return m_connected ? this : nullptr;
    return m_parent ? m_parent->connection() : nullptr;
}

RunContext* Handle::runContext() const {
    if (m_type == SQL_HANDLE_DBC) return m_runContext;
    return m_parent ? m_parent->runContext() : nullptr;
}

SwitchedOff Handle::switchedOff() const {
    if (m_type == SQL_HANDLE_DBC) return m_switchedOff;
    return m_parent ? m_parent->switchedOff() : SwitchedOff{};
}

SwitchedOff switchedOffIn(const QString& connectionString) {
    SwitchedOff off;
    const auto listed = findAttribute(connectionString, QStringLiteral("QmDriverLacks"));
    if (!listed) return off;
    for (const QString& item : listed->split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString name = item.trimmed();
        if (name == QStringLiteral("GetDataInBlock"))
            off.getDataInBlock = true;
        else if (name == QStringLiteral("ParameterArrays"))
            off.parameterArrays = true;
        else if (name == QStringLiteral("ConnectionDead"))
            off.connectionDead = true;
        else
            throw DbError(QStringLiteral("QmDriverLacks: unknown capability ") + name);
    }
    return off;
}

void Handle::disconnect() {
    if (m_type != SQL_HANDLE_DBC || !m_connected) return;
    m_connected = false;
    callServer(*this, [this] { return SQLDisconnect(m_handle); });
}

ServerCall::ServerCall(const Handle& handle) noexcept : m_context(handle.runContext()) {
    if (!m_context) return;
    try {
        m_context->serverCallStarted();
    } catch (...) {
    }
}

ServerCall::~ServerCall() {
    if (!m_context) return;
    try {
        m_context->serverCallEnded();
    } catch (...) {
    }
}

namespace {
// The driver's own answer whether the connection died; none when it cannot
// tell (the attribute is optional for drivers).
std::optional<bool> connectionDead(const Handle& handle) {
    const Handle* connection = handle.connection();
    if (!connection || connection->switchedOff().connectionDead) return std::nullopt;
    SQLUINTEGER dead = SQL_CD_FALSE;
    const SQLRETURN rc =
        SQLGetConnectAttrW(connection->get(), SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
    if (!succeeded(rc)) return std::nullopt;
    return dead == SQL_CD_TRUE;
}
}  // namespace

void throwDiagnostics(const Handle& handle, const char* fallback) {
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
        if (!succeeded(rc)) break;
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

bool hasState(const Handle& handle, const char* state) {
    const QString wanted = QString::fromLatin1(state);
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR found[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR message[2] = {};  // the text is not needed
        SQLSMALLINT length = 0;
        if (!succeeded(SQLGetDiagRecW(handle.type(), handle.get(), record, found, &native, message,
                                      SQLSMALLINT(std::size(message)), &length)))
            return false;
        if (fromWide(found, 5) == wanted) return true;
    }
}

void check(SQLRETURN rc, const Handle& handle, const char* what) {
    if (succeeded(rc)) return;
    if (rc == SQL_INVALID_HANDLE)
        throw DbError(QString::fromLatin1(what) + QStringLiteral(": invalid handle"));
    throwDiagnostics(handle, what);
}

}  // namespace odbc
}  // namespace db
