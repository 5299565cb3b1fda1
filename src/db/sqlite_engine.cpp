// SQLite engine of the data access layer: the staging file named by the
// connection string's Data Source.
#include <sqlite3.h>

#include <QStringDecoder>
#include <chrono>
#include <thread>

#include "base/run_context.h"
#include "db/connection_string_attributes.h"
#include "db/db_error.h"
#include "db/engine.h"

namespace db {
namespace {

// SQLite's text exactly as stored. Its own UTF-16 conversion turns U+FFFE
// and U+FFFF into U+FFFD, and QString::fromUtf8 drops a leading U+FEFF, so
// the stored UTF-8 is decoded here with an initial U+FEFF kept as a
// character. bytes < 0: up to the NUL.
QString fromSqlite(const char* text, qsizetype bytes = -1) {
    if (!text) return QString();
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                       QStringConverter::Flag::ConvertInitialBom);
    return decoder(bytes < 0 ? QByteArrayView(text) : QByteArrayView(text, bytes));
}

// Waits for a locked file by polling, so that the run context can serve the
// window between attempts (SQLite's own busy time-out sleeps without doing
// so). Exceptions never cross SQLite's C frames: a callback stores what it
// caught, makes SQLite give up, and the exception is thrown again once the
// SQLite call has returned.
class Database final {
public:
    Database(const QString& path, RunContext* context, int timeoutSeconds)
        : m_context(context), m_busyTimeout(std::chrono::seconds(std::max(timeoutSeconds, 1))) {
        const QByteArray file = path.toUtf8();
        const int rc = sqlite3_open_v2(file.constData(), &m_db,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc != SQLITE_OK) {
            const QString message =
                m_db ? fromSqlite(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(rc));
            sqlite3_close_v2(m_db);
            m_db = nullptr;
            throw DbError(message, QString(), rc, false);
        }
        sqlite3_extended_result_codes(m_db, 1);
        sqlite3_busy_handler(m_db, &Database::onBusy, this);
    }
    ~Database() {
        // Nothing may call back into a context that may be gone by now.
        sqlite3_busy_handler(m_db, nullptr, nullptr);
        sqlite3_close_v2(m_db);
    }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    sqlite3* get() const { return m_db; }

    // Throws what a callback caught during the SQLite call that just returned.
    void rethrowPending() {
        if (m_pending) std::rethrow_exception(std::exchange(m_pending, nullptr));
    }

    [[noreturn]] void fail() {
        rethrowPending();
        // A file has no link that could break.
        throw DbError(fromSqlite(sqlite3_errmsg(m_db)), QString(), sqlite3_extended_errcode(m_db),
                      false);
    }

private:
    static int onBusy(void* self, int attempts) noexcept {
        auto* db = static_cast<Database*>(self);
        try {
            return db->waitOnce(attempts) ? 1 : 0;
        } catch (...) {
            db->m_pending = std::current_exception();
            return 0;
        }
    }

    // One pause of a wait for the lock; false once the time-out is spent.
    bool waitOnce(int attempts) {
        using namespace std::chrono;
        const auto now = steady_clock::now();
        if (attempts == 0) m_waitStart = now;
        if (now - m_waitStart >= m_busyTimeout) return false;
        if (m_context) m_context->yield();
        // Short pauses first: a lock is mostly held for moments only.
        static constexpr int PauseMs[] = {1, 2, 5, 10, 15};
        const int pause = attempts < int(std::size(PauseMs)) ? PauseMs[attempts] : 20;
        std::this_thread::sleep_for(milliseconds(pause));
        return true;
    }

    sqlite3* m_db = nullptr;
    RunContext* m_context;
    std::chrono::steady_clock::duration m_busyTimeout;
    std::chrono::steady_clock::time_point m_waitStart;
    std::exception_ptr m_pending;
};

class Statement final {
public:
    Statement(std::shared_ptr<Database> db, const QString& sql) : m_db(std::move(db)) {
        const QByteArray text = sql.toUtf8();
        const char* tail = nullptr;
        const int rc =
            sqlite3_prepare_v2(m_db->get(), text.constData(), int(text.size()), &m_stmt, &tail);
        m_db->rethrowPending();
        if (rc != SQLITE_OK) m_db->fail();
        if (!m_stmt) throw DbError(QStringLiteral("The statement is empty."));
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    sqlite3_stmt* get() const { return m_stmt; }
    // True while a row is there; throws on a failure.
    bool step() {
        const int rc = sqlite3_step(m_stmt);
        m_db->rethrowPending();
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        m_db->fail();
    }

private:
    std::shared_ptr<Database> m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

class SqliteResult final : public ResultEngine {
public:
    SqliteResult(std::shared_ptr<Database> db, const QString& sql)
        : m_statement(std::move(db), sql) {
        const int columns = sqlite3_column_count(m_statement.get());
        for (int i = 0; i < columns; ++i) {
            m_names << fromSqlite(sqlite3_column_name(m_statement.get(), i));
        }
    }

    int fieldCount() const override { return int(m_names.size()); }
    QString fieldName(int index) const override {
        if (index < 0 || index >= m_names.size())
            throw DbError(QStringLiteral("Field %1 does not exist.").arg(index));
        return m_names.at(index);
    }

    bool next() override {
        m_row.clear();
        if (m_finished) return false;
        try {
            if (!m_statement.step()) {
                m_finished = true;
                return false;
            }
        } catch (...) {
            m_finished = true;
            throw;
        }
        sqlite3_stmt* stmt = m_statement.get();
        m_row.reserve(size_t(m_names.size()));
        for (int i = 0; i < fieldCount(); ++i) {
            if (sqlite3_column_type(stmt, i) == SQLITE_NULL) {
                m_row.push_back(std::nullopt);
                continue;
            }
            // Text first, then its length, as SQLite asks for a converted value.
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
            m_row.push_back(fromSqlite(text, sqlite3_column_bytes(stmt, i)));
        }
        return true;
    }

    const Row& row() const override { return m_row; }

private:
    Statement m_statement;
    QStringList m_names;
    Row m_row;
    bool m_finished = false;
};

class SqliteConnection final : public ConnectionEngine {
public:
    SqliteConnection(const QString& connectionString, const ConnectionSettings& settings) {
        const auto path = findAttribute(connectionString, QStringLiteral("Data Source"));
        if (!path || path->isEmpty())
            throw DbError(QStringLiteral("The connection string names no Data Source."));
        m_db = std::make_shared<Database>(*path, settings.runContext, settings.connectionTimeout);
        // A scratch file: each statement takes effect by itself and WAL keeps
        // the file whole after a crash, but no disk flush is needed per
        // statement. WAL also lets one connection drop a table while another
        // still reads a query.
        execute(QStringLiteral("PRAGMA journal_mode=WAL"));
        execute(QStringLiteral("PRAGMA synchronous=NORMAL"));
    }

    void execute(const QString& statement) override {
        Statement stmt(m_db, statement);
        while (stmt.step()) {
        }
    }

    std::unique_ptr<ResultEngine> query(const QString& statement) override {
        return std::make_unique<SqliteResult>(m_db, statement);
    }

private:
    std::shared_ptr<Database> m_db;
};

}  // namespace

std::unique_ptr<ConnectionEngine> openSqlite(const QString& connectionString,
                                             const ConnectionSettings& settings) {
    return std::make_unique<SqliteConnection>(connectionString, settings);
}

}  // namespace db
