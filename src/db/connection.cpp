#include "db/connection.h"

#include <QLoggingCategory>
#include <utility>

#include "db/connection_string_attributes.h"
#include "db/db_error.h"
#include "db/engine.h"

namespace db {
namespace {

Q_LOGGING_CATEGORY(lcDb, "quillmere.db", QtInfoMsg)

// A prepared statement run for many rows logs this many failures, then only
// that more are left out, so a table of failing rows cannot flood the log.
constexpr int LoggedFailuresPerStatement = 10;

// Statement texts are cut in the log: the point is which statement it was.
QString statementForLog(const QString& statement) {
    constexpr qsizetype Longest = 400;
    return statement.size() <= Longest ? statement
                                       : statement.left(Longest) + QStringLiteral("...");
}

// One line per failure: what failed, and the driver's SQLSTATE, native code
// and message. Nothing is built unless something failed.
void logFailure(const QString& what, const DbError& error) {
    qCWarning(lcDb).noquote() << what << "failed: SQLSTATE"
                              << (error.state().isEmpty() ? QStringLiteral("-") : error.state())
                              << "native code" << error.nativeCode()
                              << "message:" << error.description();
}

// Runs the action; a DbError it throws is logged, described by what(), and
// goes on to the caller.
template <typename Action, typename What>
decltype(auto) logged(Action&& action, What&& what) {
    try {
        return action();
    } catch (const DbError& error) {
        logFailure(what(), error);
        throw;
    }
}

}  // namespace

ResultSet::ResultSet(std::unique_ptr<ResultEngine> engine) : m_engine(std::move(engine)) {}
ResultSet::ResultSet(ResultSet&&) noexcept = default;
ResultSet& ResultSet::operator=(ResultSet&&) noexcept = default;
ResultSet::~ResultSet() = default;

static ResultEngine& requireOpen(const std::unique_ptr<ResultEngine>& engine) {
    if (!engine) throw DbError(QStringLiteral("The result set is closed."));
    return *engine;
}

int ResultSet::fieldCount() const { return int(requireOpen(m_engine).fieldNames().size()); }

QString ResultSet::fieldName(int index) const {
    const QStringList& names = requireOpen(m_engine).fieldNames();
    if (index < 0 || index >= names.size())
        throw DbError(QStringLiteral("Field %1 does not exist.").arg(index));
    return names.at(index);
}

QStringList ResultSet::fieldNames() const { return requireOpen(m_engine).fieldNames(); }

bool ResultSet::next() {
    return logged([&] { return requireOpen(m_engine).next(); },
                  [] { return QStringLiteral("reading a row"); });
}

const Value& ResultSet::value(int index) const {
    const Row& current = row();
    if (index < 0 || static_cast<size_t>(index) >= current.size())
        throw DbError(QStringLiteral("Field %1 does not exist in the current row.").arg(index));
    return current[static_cast<size_t>(index)];
}

const Row& ResultSet::row() const { return requireOpen(m_engine).row(); }

void ResultSet::close() { m_engine.reset(); }

PreparedStatement::PreparedStatement(std::unique_ptr<PreparedEngine> engine)
    : m_engine(std::move(engine)) {}
PreparedStatement::PreparedStatement(PreparedStatement&&) noexcept = default;
PreparedStatement& PreparedStatement::operator=(PreparedStatement&&) noexcept = default;
PreparedStatement::~PreparedStatement() = default;

static PreparedEngine& requireOpen(const std::unique_ptr<PreparedEngine>& engine) {
    if (!engine) throw DbError(QStringLiteral("The statement is closed."));
    return *engine;
}

int PreparedStatement::parameterCount() const { return requireOpen(m_engine).parameterCount(); }

// Checked before anything runs, so a wrong row never leaves half a batch done.
static void requireValueCounts(int parameters, std::span<const Row> rows) {
    for (const Row& row : rows)
        if (row.size() != size_t(parameters))
            throw DbError(QStringLiteral("The statement takes %1 values, not %2.")
                              .arg(parameters)
                              .arg(row.size()));
}

void PreparedStatement::execute(const Row& values, EmptyText empty) {
    PreparedEngine& engine = requireOpen(m_engine);
    const std::span<const Row> rows(&values, 1);
    requireValueCounts(engine.parameterCount(), rows);
    runLogged([&] { engine.execute(rows, empty); });
}

void PreparedStatement::executeCommitted(std::span<const Row> rows, EmptyText empty) {
    PreparedEngine& engine = requireOpen(m_engine);
    requireValueCounts(engine.parameterCount(), rows);
    if (!rows.empty()) runLogged([&] { engine.executeCommitted(rows, empty); });
}

void PreparedStatement::beginCommitted(std::span<const Row> rows, EmptyText empty) {
    PreparedEngine& engine = requireOpen(m_engine);
    m_begun = rows;
    m_begunEmpty = empty;
    m_begunAside = false;
    m_beginFailure = nullptr;
    if (rows.empty()) return;
    // Failures come at the finish, in order with those of the rows.
    try {
        requireValueCounts(engine.parameterCount(), rows);
        m_begunAside = engine.beginCommitted(rows, empty);
    } catch (...) {
        m_beginFailure = std::current_exception();
    }
}

void PreparedStatement::finishCommitted() {
    PreparedEngine& engine = requireOpen(m_engine);
    const std::span<const Row> rows = std::exchange(m_begun, {});
    const bool aside = std::exchange(m_begunAside, false);
    const std::exception_ptr failure = std::exchange(m_beginFailure, nullptr);
    if (rows.empty()) return;
    runLogged([&] {
        if (failure) std::rethrow_exception(failure);
        if (aside)
            engine.finishCommitted();
        else
            engine.executeCommitted(rows, m_begunEmpty);
    });
}

void PreparedStatement::runLogged(const std::function<void()>& run) {
    try {
        run();
    } catch (const DbError& error) {
        if (m_failures < LoggedFailuresPerStatement)
            logFailure(QStringLiteral("running a prepared statement"), error);
        else if (m_failures == LoggedFailuresPerStatement)
            qCWarning(lcDb) << "further failures of this prepared statement are not logged";
        ++m_failures;
        throw;
    }
}

void PreparedStatement::close() { m_engine.reset(); }

Connection::Connection() = default;
Connection::Connection(Connection&&) noexcept = default;
Connection& Connection::operator=(Connection&&) noexcept = default;
Connection::~Connection() = default;

static bool namesStagingProvider(const QString& connectionString) {
    return connectionString.trimmed().startsWith(QStringLiteral("PROVIDER=Microsoft.Jet.OLEDB."),
                                                 Qt::CaseInsensitive);
}

void Connection::open() {
    if (m_engine) throw DbError(QStringLiteral("The connection is already open."));
    const ConnectionSettings settings{m_mode, m_cursorLocation, m_commandTimeout,
                                      m_connectionTimeout, m_runContext};
    try {
        m_engine = namesStagingProvider(m_connectionString)
                       ? openSqlite(m_connectionString, settings)
                       : openOdbc(m_connectionString, settings);
    } catch (const DbError& error) {
        // A driver that repeats the password in its message must not carry
        // it into the log, nor into an error box someone sends to support.
        const DbError cleaned(withoutSecrets(error.description(), m_connectionString),
                              error.state(), error.nativeCode(), error.connectionLost());
        logFailure(
            QStringLiteral("connecting with ") + connectionStringWithoutSecrets(m_connectionString),
            cleaned);
        if (cleaned.description() == error.description()) throw;
        throw cleaned;
    }
}

void Connection::open(const QString& connectionString) {
    m_connectionString = connectionString;
    open();
}

bool Connection::isOpen() const { return m_engine != nullptr; }

ConnectionEngine& Connection::engine() const {
    if (!m_engine) throw DbError(QStringLiteral("The connection is not open."));
    return *m_engine;
}

static QString statementWhat(const QString& statement) {
    return QStringLiteral("statement \"") + statementForLog(statement) + QLatin1Char('"');
}

void Connection::execute(const QString& statement) {
    logged([&] { engine().execute(statement); }, [&] { return statementWhat(statement); });
}

void Connection::executeToEnd(const QString& statement) {
    logged([&] { engine().executeToEnd(statement); }, [&] { return statementWhat(statement); });
}

ResultSet Connection::query(const QString& statement) {
    return logged([&] { return ResultSet(engine().query(statement)); },
                  [&] { return statementWhat(statement); });
}

PreparedStatement Connection::prepare(const QString& statement) {
    return logged([&] { return PreparedStatement(engine().prepare(statement)); },
                  [&] { return QStringLiteral("preparing ") + statementWhat(statement); });
}

void Connection::beginTransaction() {
    logged([&] { engine().beginTransaction(); },
           [] { return QStringLiteral("beginning a transaction"); });
}
void Connection::commit() {
    logged([&] { engine().commit(); }, [] { return QStringLiteral("commit"); });
}
void Connection::rollback() {
    logged([&] { engine().rollback(); }, [] { return QStringLiteral("rollback"); });
}

QString Connection::dbmsName() {
    return logged([&] { return engine().dbmsName(); },
                  [] { return QStringLiteral("asking the server's name"); });
}
ServerLimits Connection::limits() {
    return logged([&] { return engine().limits(); },
                  [] { return QStringLiteral("asking the server's limits"); });
}

void Connection::close() { m_engine.reset(); }

}  // namespace db
