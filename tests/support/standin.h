#pragma once

#include <QString>

#include "db/connection.h"
#include "oracle/oracle_login.h"

// Every row of a query, each value as text or "<null>".
QList<QStringList> AllRows(db::Connection& connection, const QString& query);

// The stand-in database server that the tests log into (scripts/standin.sh).
namespace standin {

// The SID of every stand-in login: the server's socket folder.
QString sid();

// A connection as the server's administrator, to the named database.
db::Connection admin(const QString& database = QStringLiteral("postgres"));

// A connection string (a login's, or one naming the Oracle driver) with the Oracle-manners
// driver (tests/oracle_manners) in place of psqlODBC, and the driver's
// settings (for example "OmNoSetPos=1;") after it.
QString throughOracleManners(const QString& connectionString, const QString& settings);

// Whether the driver registered as Oracle's, which the program meets, plays
// Oracle's manners (the Oracle-manners driver) rather than being psqlODBC:
// it then names the server "Oracle".
bool programMeetsOracle();

// NLS_LANG as the program sets it at its start when it is unset, for the
// data layer's tests, which meet the Oracle-manners driver without that
// start. Call before any connection.
void useTheProgramsClientCharacterSet();

// A fresh login of its own, with a database of its own name, dropped again
// when the object goes. Names are unique per process and per object.
class Login final {
public:
    explicit Login(const QString& prefix = QStringLiteral("qt"));
    ~Login();
    Login(const Login&) = delete;
    Login& operator=(const Login&) = delete;

    const QString& name() const { return m_name; }
    const QString& password() const { return m_password; }
    OracleLogin login() const { return {sid(), m_name, m_password}; }

    // Runs a statement as this login, in its own database.
    void exec(const QString& statement) const;
    // A connection as this login.
    db::Connection connect() const;
    // All rows of a query as this login, each value as text or "<null>".
    QList<QStringList> rows(const QString& query) const;
    // The server ends every session of this login, as when it goes down
    // under them, waiting until each has ended.
    void endSessions() const;

private:
    QString m_name;
    QString m_password;
};

}  // namespace standin
