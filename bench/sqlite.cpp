#include "sqlite.h"

#include "bench_error.h"

namespace bench {

SqliteDatabase::SqliteDatabase(const QString& path) {
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &m_db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc == SQLITE_OK) return;
    const QString message =
        QStringLiteral("%1: %2").arg(path, m_db ? QString::fromUtf8(sqlite3_errmsg(m_db))
                                                : QString::fromUtf8(sqlite3_errstr(rc)));
    sqlite3_close_v2(m_db);
    throw BenchError(message);
}

SqliteDatabase::~SqliteDatabase() { sqlite3_close_v2(m_db); }

void SqliteDatabase::execute(const QByteArray& sql) {
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql.constData(), nullptr, nullptr, &message) == SQLITE_OK) return;
    const QString text = QString::fromUtf8(message ? message : sqlite3_errmsg(m_db));
    sqlite3_free(message);
    throw BenchError(QStringLiteral("SQLite: ") + text);
}

void SqliteDatabase::fail() const {
    throw BenchError(QStringLiteral("SQLite: ") + QString::fromUtf8(sqlite3_errmsg(m_db)));
}

SqliteStatement::SqliteStatement(const SqliteDatabase& db, const QByteArray& sql) : m_db(db) {
    if (sqlite3_prepare_v2(m_db.get(), sql.constData(), int(sql.size()), &m_stmt, nullptr) !=
        SQLITE_OK)
        m_db.fail();
    if (!m_stmt) throw BenchError(QStringLiteral("SQLite: the statement is empty."));
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(m_stmt); }

bool SqliteStatement::step() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    m_db.fail();
}

void SqliteStatement::reset() {
    if (sqlite3_reset(m_stmt) != SQLITE_OK) m_db.fail();
}

void SqliteStatement::bindText(int index, const char* text, int bytes) {
    if (sqlite3_bind_text(m_stmt, index, text, bytes, SQLITE_STATIC) != SQLITE_OK) m_db.fail();
}

void SqliteStatement::bindNull(int index) {
    if (sqlite3_bind_null(m_stmt, index) != SQLITE_OK) m_db.fail();
}

}  // namespace bench
