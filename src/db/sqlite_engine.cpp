// SQLite engine of the data access layer: the staging file named by the
// connection string's Data Source.
#include <sqlite3.h>

#include <QDir>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QStringEncoder>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "base/run_context.h"
#include "base/serve_while_waiting.h"
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

// A bound text's memory serves the next row up to this size.
constexpr qsizetype KeptTextBytes = 64 * 1024;

// Waits for a locked file by polling, so that the run context can serve the
// window between attempts (SQLite's own busy time-out sleeps without doing
// so). Exceptions never cross SQLite's C frames: a callback stores what it
// caught, makes SQLite give up, and the exception is thrown again once the
// SQLite call has returned.
class Database final {
public:
    Database(const QString& path, RunContext* context, int timeoutSeconds)
        : m_path(path),
          m_context(context),
          m_busyTimeout(std::chrono::seconds(std::max(timeoutSeconds, 1))) {
        const QByteArray file = path.toUtf8();
        // Serialized: the worker thread runs checkpoints on this connection
        // while the window's thread waits, and SQLite's own mutex makes any
        // other overlap safe too.
        const int rc = sqlite3_open_v2(
            file.constData(), &m_db,
            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
        if (rc != SQLITE_OK) {
            const QString message =
                m_db ? fromSqlite(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(rc));
            sqlite3_close_v2(m_db);
            m_db = nullptr;
            throw DbError(namingTheFile(message, rc), QString(), rc, false);
        }
        sqlite3_extended_result_codes(m_db, 1);
        sqlite3_busy_handler(m_db, &Database::onBusy, this);
        // A long statement (an index, a join's first step) lets the window
        // work every so many steps of SQLite's machine.
        if (m_context) sqlite3_progress_handler(m_db, ProgressSteps, &Database::onProgress, this);
        // With a window to serve, the log is folded into the file by
        // checkpoints of our own, on a worker thread and seldom, rather than
        // by SQLite after every few megabytes of commits, each waiting for
        // the disk while nothing serves the window.
        if (m_context && m_context->servesWhileWaiting())
            sqlite3_wal_hook(m_db, &Database::onWalCommit, this);
    }
    ~Database() {
        detachContext();
        sqlite3_close_v2(m_db);
    }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    sqlite3* get() const { return m_db; }
    RunContext* context() const { return m_context; }

    // Runs work on this connection on the worker while the window is served,
    // when there is a window to serve; here otherwise. A long statement (a
    // table dropped, an index sorted, a commit waiting for the disk) then
    // never freezes the window, though SQLite's machine stops for no yield
    // inside it. Meanwhile nothing calls the context from the worker: the
    // progress handler is off, and the busy handler only pauses. Closing the
    // window interrupts the statement.
    void runServed(const std::function<void()>& work) {
        if (!m_context || !m_context->servesWhileWaiting() || m_onWorker) return work();
        sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
        m_onWorker = true;
        const auto restore = qScopeGuard([this] {
            m_onWorker = false;
            if (m_context)
                sqlite3_progress_handler(m_db, ProgressSteps, &Database::onProgress, this);
        });
        m_interrupted = false;
        ServeWhileWaiting(*m_context, work, [this] {
            m_interrupted = true;
            sqlite3_interrupt(m_db);
        });
    }

    // Folds the log into the file once it holds CheckpointFrames pages, or
    // whatever it holds when finally is set, while the window is served.
    void checkpointIfDue(bool finally = false) {
        if (!m_context || m_walFrames == 0 || (!finally && m_walFrames < CheckpointFrames) ||
            !sqlite3_get_autocommit(m_db))
            return;
        m_walFrames = 0;
        // SQLite's machine does not run in a checkpoint; the handler stays
        // off all the same, as it must never be called from the worker.
        sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
        int rc = SQLITE_OK;
        // PASSIVE never calls the busy handler, which yields to the context
        // and so must not run on the worker: it takes what it can at once.
        ServeWhileWaiting(*m_context, [&] {
            rc = sqlite3_wal_checkpoint_v2(m_db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr,
                                           nullptr);
        });
        sqlite3_progress_handler(m_db, ProgressSteps, &Database::onProgress, this);
        // Another connection reading the file may hold part of the log back:
        // the next checkpoint takes it.
        if (rc != SQLITE_OK && rc != SQLITE_BUSY && rc != SQLITE_LOCKED) fail();
    }

    // Nothing calls back into the run context from now on (it may be gone
    // once its connection is).
    void detachContext() {
        sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
        m_context = nullptr;
    }

    // Throws what a callback caught during the SQLite call that just returned.
    void rethrowPending() {
        if (m_pending) std::rethrow_exception(std::exchange(m_pending, nullptr));
    }

    [[noreturn]] void fail() {
        rethrowPending();
        // A file has no link that could break.
        const int code = sqlite3_extended_errcode(m_db);
        throw DbError(namingTheFile(fromSqlite(sqlite3_errmsg(m_db)), code), QString(), code,
                      false);
    }

private:
    // A failure of the file itself comes in SQLite's words that name no file
    // ("disk I/O error", "database is locked"): the user learns which file to
    // look at. A statement's own failure ("no such column") stays as it is.
    QString namingTheFile(const QString& words, int code) const {
        switch (code & 0xff) {
            case SQLITE_IOERR:
            case SQLITE_BUSY:
            case SQLITE_LOCKED:
            case SQLITE_CANTOPEN:
            case SQLITE_CORRUPT:
            case SQLITE_NOTADB:
            case SQLITE_FULL:
            case SQLITE_READONLY:
            case SQLITE_PERM:
            case SQLITE_PROTOCOL:
                return words + QStringLiteral(" (staging file ") +
                       QDir::toNativeSeparators(m_path) + QLatin1Char(')');
            default:
                return words;
        }
    }

    static constexpr int ProgressSteps = 1000;
    // 64 MiB of pages at SQLite's default page size.
    static constexpr int CheckpointFrames = 16384;

    static int onWalCommit(void* self, sqlite3*, const char*, int frames) noexcept {
        static_cast<Database*>(self)->m_walFrames = frames;
        return SQLITE_OK;
    }

    static int onProgress(void* self) noexcept {
        auto* db = static_cast<Database*>(self);
        try {
            if (db->m_context) db->m_context->yield();
            return 0;
        } catch (...) {
            db->m_pending = std::current_exception();
            return 1;  // interrupts the statement
        }
    }

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
        if (now - m_waitStart >= m_busyTimeout || m_interrupted) return false;
        if (m_context && !m_onWorker) m_context->yield();
        // Short pauses first: a lock is mostly held for moments only.
        static constexpr int PauseMs[] = {1, 2, 5, 10, 15};
        const int pause = attempts < int(std::size(PauseMs)) ? PauseMs[attempts] : 20;
        std::this_thread::sleep_for(milliseconds(pause));
        return true;
    }

    QString m_path;
    sqlite3* m_db = nullptr;
    RunContext* m_context;
    std::chrono::steady_clock::duration m_busyTimeout;
    std::chrono::steady_clock::time_point m_waitStart;
    std::exception_ptr m_pending;
    int m_walFrames = 0;                      // pages in the log since the last checkpoint
    bool m_onWorker = false;                  // set only while the window's thread waits
    std::atomic<bool> m_interrupted = false;  // set from the window's thread
};

// One statement of SQL text. Text after it is refused rather than left
// unread, in every use: blanks, comments and semicolons may follow it.
class Statement final {
public:
    Statement(std::shared_ptr<Database> db, const QString& sql) : m_db(std::move(db)) {
        const QByteArray text = sql.toUtf8();
        const char* rest = nullptr;
        const int rc =
            sqlite3_prepare_v2(m_db->get(), text.constData(), int(text.size()), &m_stmt, &rest);
        m_db->rethrowPending();
        if (rc != SQLITE_OK) m_db->fail();
        if (!m_stmt) throw DbError(QStringLiteral("The statement is empty."));
        if (holdsAStatement(rest))
            throw DbError(QStringLiteral("The text holds more than one statement."));
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    sqlite3_stmt* get() const { return m_stmt; }
    Database& database() const { return *m_db; }
    const std::shared_ptr<Database>& databasePointer() const { return m_db; }
    [[noreturn]] void fail() { m_db->fail(); }
    // True while a row is there; throws on a failure.
    bool step() {
        const int rc = sqlite3_step(m_stmt);
        m_db->rethrowPending();
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        m_db->fail();
    }

private:
    // Blanks, comments and semicolons are no statement; anything else is,
    // even when it would not prepare.
    bool holdsAStatement(const char* text) const {
        while (text && *text) {
            sqlite3_stmt* next = nullptr;
            const char* after = nullptr;
            const int rc = sqlite3_prepare_v2(m_db->get(), text, -1, &next, &after);
            sqlite3_finalize(next);
            m_db->rethrowPending();
            if (rc != SQLITE_OK || next || after == text) return true;
            text = after;
        }
        return false;
    }

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

    const QStringList& fieldNames() const override { return m_names; }

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
        for (int i = 0; i < int(m_names.size()); ++i) {
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

class SqlitePrepared final : public PreparedEngine {
public:
    SqlitePrepared(std::shared_ptr<Database> db, const QString& sql)
        : m_statement(std::move(db), sql) {}

    int parameterCount() const override { return sqlite3_bind_parameter_count(m_statement.get()); }

    void execute(std::span<const Row> rows, EmptyText empty) override {
        sqlite3_stmt* stmt = m_statement.get();
        for (const Row& row : rows) {
            // Reset even after a failure, so the statement serves the next
            // call; the bindings go before the texts they point into.
            if (m_texts.size() < row.size()) m_texts.resize(row.size());
            const auto reset = qScopeGuard([this, stmt] {
                sqlite3_reset(stmt);
                sqlite3_clear_bindings(stmt);
                // Each text's memory serves the next row, unless it is large.
                for (QByteArray& text : m_texts)
                    if (text.capacity() > KeptTextBytes) text = QByteArray();
            });
            for (size_t i = 0; i < row.size(); ++i)
                bind(int(i) + 1, BoundValue(row[i], empty), m_texts[i]);
            while (m_statement.step()) {
            }
        }
    }

    void executeCommitted(std::span<const Row> rows, EmptyText empty) override {
        sqlite3* db = m_statement.database().get();
        if (!sqlite3_get_autocommit(db)) throw DbError(transactionOpenText());
        run(QStringLiteral("BEGIN IMMEDIATE"));
        try {
            execute(rows, empty);
            run(QStringLiteral("COMMIT"));
        } catch (...) {
            // SQLite may have rolled back by itself already.
            if (!sqlite3_get_autocommit(db)) {
                try {
                    run(QStringLiteral("ROLLBACK"));
                } catch (...) {
                }
            }
            throw;
        }
        m_statement.database().checkpointIfDue();
    }

private:
    void run(const QString& sql) {
        Statement statement(m_statement.databasePointer(), sql);
        while (statement.step()) {
        }
    }

    // Texts go in as UTF-8: SQLite takes a leading U+FEFF or U+FFFE of a
    // UTF-16 value for a byte-order mark and drops or acts on it. SQLite
    // reads the text where it is, held in text until the row is done, rather
    // than copying each value of each row.
    void bind(int index, const Value& value, QByteArray& text) {
        sqlite3_stmt* stmt = m_statement.get();
        int rc = SQLITE_OK;
        if (!value) {
            rc = sqlite3_bind_null(stmt, index);
        } else {
            // At most three bytes for each UTF-16 unit.
            text.resize(3 * value->size());
            text.truncate(m_utf8.appendToBuffer(text.data(), *value) - text.constData());
            rc = sqlite3_bind_text64(stmt, index, text.constData(), sqlite3_uint64(text.size()),
                                     SQLITE_STATIC, SQLITE_UTF8);
        }
        if (rc != SQLITE_OK) m_statement.fail();
    }

    Statement m_statement;
    std::vector<QByteArray> m_texts;  // the bound texts of the row being run
    QStringEncoder m_utf8{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
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

    ~SqliteConnection() override {
        // Result sets and statements may outlive this object; the context
        // need not.
        if (!m_inTransaction) {
            try {
                m_db->checkpointIfDue(true);
            } catch (...) {
                // The file's closing folds the log in all the same.
            }
        }
        // The last owner closes the file on the worker: closing folds what
        // is left of the log in and waits for the disk.
        RunContext* context = m_db->context();
        m_db->detachContext();
        if (!m_inTransaction) {
            if (context && context->servesWhileWaiting() && m_db.use_count() == 1) {
                try {
                    ServeWhileWaiting(*context, [this] { m_db.reset(); });
                } catch (...) {
                    // Closing reports nothing; the file stays whole.
                }
            }
            return;
        }
        try {
            execute(QStringLiteral("ROLLBACK"));
        } catch (...) {
            // Closing the file rolls the transaction back as well.
        }
    }

    void execute(const QString& statement) override {
        m_db->runServed([&] {
            Statement stmt(m_db, statement);
            while (stmt.step()) {
            }
        });
        if (!m_inTransaction) m_db->checkpointIfDue();
    }

    std::unique_ptr<ResultEngine> query(const QString& statement) override {
        return std::make_unique<SqliteResult>(m_db, statement);
    }

    std::unique_ptr<PreparedEngine> prepare(const QString& statement) override {
        return std::make_unique<SqlitePrepared>(m_db, statement);
    }

    void beginTransaction() override {
        if (m_inTransaction) throw DbError(transactionOpenText());
        // IMMEDIATE takes the write lock now, through the busy handler: a
        // deferred transaction that later finds the file changed by another
        // connection fails at once instead of waiting.
        execute(QStringLiteral("BEGIN IMMEDIATE"));
        m_inTransaction = true;
    }
    void commit() override { endTransaction(QStringLiteral("COMMIT")); }
    void rollback() override { endTransaction(QStringLiteral("ROLLBACK")); }

private:
    void endTransaction(const QString& statement) {
        if (!m_inTransaction) throw DbError(noTransactionText());
        // SQLite rolls a transaction back by itself after some failures (an
        // interrupted statement, a full disk); a commit then fails below.
        if (sqlite3_get_autocommit(m_db->get())) {
            m_inTransaction = false;
            if (statement == QStringLiteral("ROLLBACK")) return;
        }
        execute(statement);
        m_inTransaction = false;
        m_db->checkpointIfDue();
    }

    std::shared_ptr<Database> m_db;
    bool m_inTransaction = false;
};

}  // namespace

std::unique_ptr<ConnectionEngine> openSqlite(const QString& connectionString,
                                             const ConnectionSettings& settings) {
    return std::make_unique<SqliteConnection>(connectionString, settings);
}

}  // namespace db
