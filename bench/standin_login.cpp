#include "standin_login.h"

#include <QCoreApplication>

#include "odbc.h"

namespace bench {
namespace {

QString connectionStringFor(const QString& user, const QString& password) {
    return QStringLiteral("Driver={Microsoft ODBC for Oracle};Server=%1;Uid=%2;Pwd=%3;")
        .arg(StandinSid(), user, password);
}

// The server's administrator (scripts/standin.sh), in the maintenance database.
OdbcConnection admin() {
    return OdbcConnection(
        connectionStringFor(QStringLiteral("qm_admin"), QStringLiteral("qm_admin")) +
        QStringLiteral("Database=postgres;"));
}

}  // namespace

QString StandinSid() {
    const QString dir = qEnvironmentVariable("QM_STANDIN_DIR");
    return dir.isEmpty() ? QStringLiteral("/tmp/qm-standin") : dir;
}

StandinLogin::StandinLogin()
    : m_user(QStringLiteral("qm_bench_%1").arg(QCoreApplication::applicationPid())),
      m_password(QStringLiteral("pw-") + m_user) {
    OdbcConnection server = admin();
    server.execute(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(m_user));
    server.execute(QStringLiteral("DROP ROLE IF EXISTS \"%1\"").arg(m_user));
    server.execute(
        QStringLiteral("CREATE ROLE \"%1\" LOGIN PASSWORD '%2'").arg(m_user, m_password));
    server.execute(QStringLiteral("CREATE DATABASE \"%1\" OWNER \"%1\"").arg(m_user));
}

StandinLogin::~StandinLogin() {
    if (m_keep) return;
    try {
        OdbcConnection server = admin();
        server.execute(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(m_user));
        server.execute(QStringLiteral("DROP ROLE IF EXISTS \"%1\"").arg(m_user));
    } catch (...) {
        // A bench that already failed reports that failure, not its clean-up's.
    }
}

QString StandinLogin::connectionString() const { return connectionStringFor(m_user, m_password); }

QString StandinLogin::streamingConnectionString() const {
    return connectionString() + QStringLiteral("UseDeclareFetch=1;");
}

QStringList StandinLogin::psqlArguments() const {
    return {QStringLiteral("-X"), QStringLiteral("-q"),
            QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
            QStringLiteral("-h"), StandinSid(),
            QStringLiteral("-U"), m_user,
            QStringLiteral("-d"), m_user};
}

QProcessEnvironment StandinLogin::psqlEnvironment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PGPASSWORD"), m_password);
    environment.insert(QStringLiteral("PGOPTIONS"),
                       QStringLiteral("-c client_min_messages=warning"));
    return environment;
}

}  // namespace bench
