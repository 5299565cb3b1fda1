#include "db/odbc_support.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "db/db_error.h"
#include "db/server_call.h"

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

void Handle::disconnect() {
    if (m_type != SQL_HANDLE_DBC || !m_connected) return;
    m_connected = false;
    callServer(*this, [this] { return SQLDisconnect(m_handle); });
}

namespace {
// The driver's own answer whether the connection died; none when it cannot
// tell (the attribute is optional for drivers).
std::optional<bool> connectionDead(const Handle& handle) {
    const Handle* connection = handle.connection();
    if (!connection) return std::nullopt;
    SQLUINTEGER dead = SQL_CD_FALSE;
    const SQLRETURN rc =
        SQLGetConnectAttrW(connection->get(), SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
    if (!succeeded(rc)) return std::nullopt;
    return dead == SQL_CD_TRUE;
}
}  // namespace

namespace {
// The most a message buffer can be told it holds (a SQLSMALLINT).
constexpr size_t MaxMessageUnits = 32767;

// One diagnostic record's message, whole. A driver with more to say than
// the buffer holds warns (01004) and gives the length it has, or only what
// fitted: the buffer grows until the message fits with room to spare.
std::optional<QString> diagnosticRecord(const Handle& handle, SQLSMALLINT record, QString& state,
                                        SQLINTEGER& native) {
    SQLWCHAR stateText[6] = {};
    std::vector<SQLWCHAR> message(1024);
    SQLSMALLINT length = 0;
    for (;;) {
        const SQLRETURN rc = SQLGetDiagRecW(handle.type(), handle.get(), record, stateText, &native,
                                            message.data(), SQLSMALLINT(message.size()), &length);
        if (!succeeded(rc)) return std::nullopt;
        const qsizetype room = qsizetype(message.size()) - 1;
        const bool cut = rc == SQL_SUCCESS_WITH_INFO || length >= room;
        if (!cut || message.size() >= MaxMessageUnits) {
            state = fromWide(stateText, 5);
            return fromWide(message.data(), std::clamp<qsizetype>(length, 0, room));
        }
        message.assign(
            std::min(std::max(size_t(length) + 2, message.size() * 2), size_t(MaxMessageUnits)), 0);
    }
}
}  // namespace

void throwDiagnostics(const Handle& handle, const char* fallback) {
    QString description;
    QString firstState;
    long firstNative = 0;
    bool recordSaysLost = false;
    for (SQLSMALLINT record = 1;; ++record) {
        QString state;
        SQLINTEGER native = 0;
        const std::optional<QString> message = diagnosticRecord(handle, record, state, native);
        if (!message) break;
        if (record == 1) {
            firstState = state;
            firstNative = native;
        } else {
            description += QLatin1Char('\n');
        }
        description += *message;
        recordSaysLost = recordSaysLost || DbError::codesNameALostLink(state, native, *message);
    }
    if (description.isEmpty() && firstState.isEmpty()) description = QString::fromLatin1(fallback);
    std::optional<bool> lost = connectionDead(handle);
    if (recordSaysLost) lost = true;
    const DbError error(description, firstState, firstNative, lost);
    if (error.connectionLost()) handle.markLost(error);
    throw error;
}

namespace {
// The state of a diagnostic record of the handle; none past the last.
std::optional<QString> recordState(const Handle& handle, SQLSMALLINT record) {
    SQLWCHAR found[6] = {};
    SQLINTEGER native = 0;
    SQLWCHAR message[2] = {};  // the text is not needed
    SQLSMALLINT length = 0;
    if (!succeeded(SQLGetDiagRecW(handle.type(), handle.get(), record, found, &native, message,
                                  SQLSMALLINT(std::size(message)), &length)))
        return std::nullopt;
    return fromWide(found, 5);
}
}  // namespace

bool hasState(const Handle& handle, const char* state) {
    const QString wanted = QString::fromLatin1(state);
    for (SQLSMALLINT record = 1;; ++record) {
        const std::optional<QString> found = recordState(handle, record);
        if (!found) return false;
        if (*found == wanted) return true;
    }
}

bool onlyTruncations(const Handle& handle) {
    const QString truncation = QStringLiteral("01004");
    for (SQLSMALLINT record = 1;; ++record) {
        const std::optional<QString> found = recordState(handle, record);
        if (!found) return true;
        if (*found != truncation) return false;
    }
}

void Handle::markLost(const DbError& cause) const {
    const Handle* connection = this->connection();
    if (!connection) return;
    const std::lock_guard lock(connection->m_lostMutex);
    if (!connection->m_lostCause) connection->m_lostCause = std::make_shared<const DbError>(cause);
}

void Handle::throwIfLost() const {
    const Handle* connection = this->connection();
    if (!connection) return;
    std::shared_ptr<const DbError> cause;
    {
        const std::lock_guard lock(connection->m_lostMutex);
        cause = connection->m_lostCause;
    }
    if (cause) throw DbError(*cause);
}

bool Handle::lost() const {
    const Handle* connection = this->connection();
    if (!connection) return false;
    const std::lock_guard lock(connection->m_lostMutex);
    return connection->m_lostCause != nullptr;
}

void Handle::refuseBlockReads() const {
    if (const Handle* connection = this->connection()) connection->m_blockReadsRefused = true;
}

bool Handle::blockReadsRefused() const {
    const Handle* connection = this->connection();
    return connection && connection->m_blockReadsRefused;
}

void check(SQLRETURN rc, const Handle& handle, const char* what) {
    if (succeeded(rc)) return;
    if (rc == SQL_INVALID_HANDLE)
        throw DbError(QString::fromLatin1(what) + QStringLiteral(": invalid handle"));
    throwDiagnostics(handle, what);
}

}  // namespace odbc
}  // namespace db
