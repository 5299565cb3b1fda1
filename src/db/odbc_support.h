#pragma once

// What the ODBC engine's parts share: handle ownership, text conversion and
// turning a driver's diagnostics into DbError.
// Which calls wait on the worker is server_call.h's affair. unixODBC's wide-character
// API is used throughout; its SQLWCHAR is 16 bits like QChar.
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <QString>
#include <atomic>
#include <memory>
#include <mutex>

class DbError;
class RunContext;

static_assert(sizeof(SQLWCHAR) == sizeof(QChar), "SQLWCHAR must be UTF-16");

namespace db {
namespace odbc {

inline const SQLWCHAR* wide(const QString& text) {
    return reinterpret_cast<const SQLWCHAR*>(text.utf16());
}

// The code units as they are: QString::fromUtf16 would drop a leading U+FEFF
// or byte-swap text starting with U+FFFE, in every chunk of a long value.
inline QString fromWide(const SQLWCHAR* text, qsizetype length) {
    return QString(reinterpret_cast<const QChar*>(text), length);
}

inline bool succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// One owner per native handle; the child keeps its parent alive, so a result
// set may outlive the connection object that made it.
class Handle final {
public:
    Handle(SQLSMALLINT type, std::shared_ptr<Handle> parent);
    ~Handle();
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    SQLHANDLE get() const { return m_handle; }
    SQLSMALLINT type() const { return m_type; }
    void setConnected() { m_connected = true; }

    // The connection this handle belongs to, once it is connected.
    const Handle* connection() const;

    // Who hears of the calls to the server made on this connection's handles
    // (see ServerCall in server_call.h). Kept on the connection's handle; null on the others,
    // which ask their connection.
    void setRunContext(RunContext* context) { m_runContext = context; }
    RunContext* runContext() const;

    // Parts a connection from the server now rather than when its last owner
    // lets go.
    void disconnect();

    // A connection that lost its link stays lost: nothing more is sent to the
    // driver on it, whose answers after the loss (a failed rollback, a
    // transaction it still thinks open) would only hide the cause. Kept on
    // the connection's handle, the first such failure wins.
    void markLost(const DbError& cause) const;
    // Throws that first failure again, if the connection lost its link.
    void throwIfLost() const;
    // Whether it did, for the clean-up that must not throw.
    bool lost() const;

    // A connection whose driver would not read a row of a fetched block
    // again reads every later result one row at a time. Kept on the
    // connection's handle.
    void refuseBlockReads() const;
    bool blockReadsRefused() const;

private:
    SQLSMALLINT m_type;
    std::shared_ptr<Handle> m_parent;
    SQLHANDLE m_handle = SQL_NULL_HANDLE;
    bool m_connected = false;
    // Marked from whichever thread the failing call ran on.
    mutable std::mutex m_lostMutex;
    mutable std::shared_ptr<const DbError> m_lostCause;
    mutable std::atomic<bool> m_blockReadsRefused{false};
    RunContext* m_runContext = nullptr;
};

// The diagnostic records of a handle as one DbError: the message texts (the
// driver's own words, as the user should read them), the first state and
// native code beside, and the driver's answer whether the connection died.
// One that means a lost link marks the handle's connection lost.
[[noreturn]] void throwDiagnostics(const Handle& handle, const char* fallback);

// Whether any diagnostic record of the handle carries this state.
bool hasState(const Handle& handle, const char* state);

// Whether every diagnostic record of the handle is a truncation (01004).
bool onlyTruncations(const Handle& handle);

// Throws the handle's diagnostics unless rc is a success.
void check(SQLRETURN rc, const Handle& handle, const char* what);

}  // namespace odbc
}  // namespace db
