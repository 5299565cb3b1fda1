#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <QString>

// The bench's own small ODBC owners, so it reads the driver the plainest way
// without going through the program's data layer.
namespace bench {

// The text as the driver's wide string; it points into `text`.
SQLWCHAR* Wide(const QString& text);

// Owns one ODBC handle and frees it on scope exit.
class OdbcHandle final {
public:
    OdbcHandle(SQLSMALLINT type, SQLHANDLE parent);
    ~OdbcHandle();
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;

    SQLHANDLE get() const { return m_handle; }
    // Throws the handle's diagnostic records unless rc reports success.
    void check(SQLRETURN rc, const char* what) const;

private:
    SQLSMALLINT m_type;
    SQLHANDLE m_handle = SQL_NULL_HANDLE;
};

// One connection through the driver manager. Statements made from it must go
// out of scope first.
class OdbcConnection final {
public:
    explicit OdbcConnection(const QString& connectionString);
    ~OdbcConnection();
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    SQLHDBC get() const { return m_connection.get(); }
    void check(SQLRETURN rc, const char* what) const { m_connection.check(rc, what); }
    // Runs a statement that returns no rows.
    void execute(const QString& statement);

private:
    OdbcHandle m_environment;
    OdbcHandle m_connection;
};

class OdbcStatement final {
public:
    explicit OdbcStatement(const OdbcConnection& connection)
        : m_statement(SQL_HANDLE_STMT, connection.get()) {}

    SQLHSTMT get() const { return m_statement.get(); }
    void check(SQLRETURN rc, const char* what) const { m_statement.check(rc, what); }
    void executeDirect(const QString& statement);

private:
    OdbcHandle m_statement;
};

}  // namespace bench
