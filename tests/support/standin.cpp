#include "support/standin.h"

#include <QCoreApplication>
#include <QtGlobal>
#include <atomic>

#include "db/connection_string_attributes.h"

namespace {
// The stand-in's connection string for a login, as the program's own but
// naming psqlODBC itself rather than the registered Oracle driver: the tests'
// own sessions set up and check the server in its own dialect, whichever
// driver the program meets. Built here so the data access layer's tests
// need nothing above that layer.
const QString StandinDriver = QStringLiteral("Driver={" QM_STANDIN_DRIVER "};");

QString connectionString(const OracleLogin& login) {
    return StandinDriver + QStringLiteral("Server=") + attributeValueText(login.sid) +
           QStringLiteral(";Uid=") + attributeValueText(login.user) + QStringLiteral(";Pwd=") +
           attributeValueText(login.password) + QLatin1Char(';');
}
}  // namespace

namespace standin {

QString sid() {
    const QString dir = qEnvironmentVariable("QM_STANDIN_DIR");
    return dir.isEmpty() ? QStringLiteral("/tmp/qm-standin") : dir;
}

QString throughOracleManners(const QString& connectionString, const QString& settings) {
    QString text = connectionString;
    const QString manners = QStringLiteral("Driver={" QM_ORACLE_MANNERS_DRIVER "};");
    text.replace(StandinDriver, manners);
    text.replace(QStringLiteral("Driver={Microsoft ODBC for Oracle};"), manners);
    return text + settings;
}

bool programMeetsOracle() {
    static const bool oracle = [] {
        db::Connection connection;
        connection.open(QStringLiteral("Driver={Microsoft ODBC for Oracle};Server=") +
                        attributeValueText(sid()) +
                        QStringLiteral(";Uid=qm_admin;Pwd=qm_admin;Database=postgres;"));
        return connection.dbmsName() == QStringLiteral("Oracle");
    }();
    return oracle;
}

void useTheProgramsClientCharacterSet() {
    if (qEnvironmentVariableIsEmpty("NLS_LANG")) qputenv("NLS_LANG", ".AL32UTF8");
}

db::Connection admin(const QString& database) {
    db::Connection connection;
    connection.open(
        connectionString({sid(), QStringLiteral("qm_admin"), QStringLiteral("qm_admin")}) +
        QStringLiteral("Database=") + database + QLatin1Char(';'));
    return connection;
}

Login::Login(const QString& prefix) {
    static std::atomic<int> counter{0};
    m_name = QStringLiteral("%1_%2_%3")
                 .arg(prefix)
                 .arg(QCoreApplication::applicationPid())
                 .arg(++counter);
    m_password = QStringLiteral("pw-") + m_name;
    db::Connection server = admin();
    server.execute(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(m_name));
    server.execute(QStringLiteral("DROP ROLE IF EXISTS \"%1\"").arg(m_name));
    server.execute(
        QStringLiteral("CREATE ROLE \"%1\" LOGIN PASSWORD '%2'").arg(m_name, m_password));
    server.execute(QStringLiteral("CREATE DATABASE \"%1\" OWNER \"%1\"").arg(m_name));
}

Login::~Login() {
    try {
        db::Connection server = admin();
        server.execute(QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(m_name));
        server.execute(QStringLiteral("DROP ROLE IF EXISTS \"%1\"").arg(m_name));
    } catch (...) {
        // A test that already failed must not abort on its clean-up.
    }
}

db::Connection Login::connect() const {
    db::Connection connection;
    connection.open(connectionString(login()));
    return connection;
}

void Login::exec(const QString& statement) const { connect().execute(statement); }

QList<QStringList> Login::rows(const QString& query) const {
    db::Connection connection = connect();
    return AllRows(connection, query);
}

void Login::endSessions() const {
    admin().execute(QStringLiteral("SELECT pg_terminate_backend(pid, 10000) FROM pg_stat_activity "
                                   "WHERE usename = '%1'")
                        .arg(m_name));
}

}  // namespace standin

QList<QStringList> AllRows(db::Connection& connection, const QString& query) {
    db::ResultSet result = connection.query(query);
    QList<QStringList> all;
    while (result.next()) {
        QStringList row;
        for (const db::Value& value : result.row()) row << value.value_or(QStringLiteral("<null>"));
        all << row;
    }
    return all;
}
