#include "db/connection.h"

#include "db/db_error.h"
#include "db/engine.h"

namespace db {

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

bool ResultSet::next() { return requireOpen(m_engine).next(); }

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

void PreparedStatement::execute(const Row& values) {
    PreparedEngine& engine = requireOpen(m_engine);
    const std::span<const Row> rows(&values, 1);
    requireValueCounts(engine.parameterCount(), rows);
    engine.execute(rows);
}

void PreparedStatement::executeBatch(const std::vector<Row>& rows) {
    PreparedEngine& engine = requireOpen(m_engine);
    requireValueCounts(engine.parameterCount(), rows);
    if (!rows.empty()) engine.execute(rows);
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
    m_engine = namesStagingProvider(m_connectionString) ? openSqlite(m_connectionString, settings)
                                                        : openOdbc(m_connectionString, settings);
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

void Connection::execute(const QString& statement) { engine().execute(statement); }

ResultSet Connection::query(const QString& statement) {
    return ResultSet(engine().query(statement));
}

PreparedStatement Connection::prepare(const QString& statement) {
    return PreparedStatement(engine().prepare(statement));
}

void Connection::beginTransaction() { engine().beginTransaction(); }
void Connection::commit() { engine().commit(); }
void Connection::rollback() { engine().rollback(); }

void Connection::close() { m_engine.reset(); }

}  // namespace db
