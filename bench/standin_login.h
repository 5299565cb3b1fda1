#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace bench {

// The SID of every stand-in login: the server's socket folder.
QString StandinSid();

// A fresh login on the stand-in server, with a database of its own name
// holding the user_tables view from template1 (scripts/standin.sh), dropped
// again with everything in it when the object goes.
class StandinLogin final {
public:
    StandinLogin();
    ~StandinLogin();
    StandinLogin(const StandinLogin&) = delete;
    StandinLogin& operator=(const StandinLogin&) = delete;

    const QString& user() const { return m_user; }
    // Leaves the login and its database on the server when the object goes.
    void keep() { m_keep = true; }
    const QString& password() const { return m_password; }

    // The program's own connection string for this login.
    QString connectionString() const;
    // The same with the driver told to stream: psqlODBC holds a whole result
    // in memory unless it fetches through a cursor.
    QString streamingConnectionString() const;

    // psql as this login, in its own database, stopping at the first error.
    QStringList psqlArguments() const;
    QProcessEnvironment psqlEnvironment() const;

private:
    QString m_user;
    QString m_password;
    bool m_keep = false;
};

}  // namespace bench
