#pragma once

#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "db/values.h"

class RunContext;

namespace db {

class ResultEngine;
class PreparedEngine;
class ConnectionEngine;

// Rows of a query, streamed one at a time; nothing beyond the current row is
// held by us. Closing (or destroying) it frees the engine's statement.
class ResultSet final {
public:
    explicit ResultSet(std::unique_ptr<ResultEngine> engine);
    ResultSet(ResultSet&&) noexcept;
    ResultSet& operator=(ResultSet&&) noexcept;
    ~ResultSet();

    int fieldCount() const;
    QString fieldName(int index) const;
    QStringList fieldNames() const;

    // Moves to the next row. False at the end of the rows; throws DbError when
    // the engine fails to deliver a row.
    bool next();
    const Value& value(int index) const;
    const Row& row() const;

    void close();

private:
    std::unique_ptr<ResultEngine> m_engine;
};

// A statement prepared once, with "?" for each value, and run for many rows
// of values. Each value is bound as it is: a Null as SQL NULL, a text as its
// exact UTF-16 characters, never cut. Like a result set, it may outlive the
// connection object that made it; closing (or destroying) it frees the
// engine's statement.
class PreparedStatement final {
public:
    explicit PreparedStatement(std::unique_ptr<PreparedEngine> engine);
    PreparedStatement(PreparedStatement&&) noexcept;
    PreparedStatement& operator=(PreparedStatement&&) noexcept;
    ~PreparedStatement();

    // The number of "?" in the statement: the values each row must hold.
    int parameterCount() const;

    // Runs the statement once with these values, an empty text as the rule
    // says; throws DbError on a failure.
    void execute(const Row& values, EmptyText empty = EmptyText::AsText);
    // Runs the statement once per row as a transaction of its own, in as few
    // round trips as the engine allows, its buffers within a bound however
    // long the values are, and commits it: all the rows take effect, or
    // (rolled back, the failure thrown) none. An ODBC driver gets the whole
    // of it as one call on the worker, so the window waits once for all the
    // rows. The connection must have no transaction open. An empty text goes
    // in as the rule says.
    void executeCommitted(std::span<const Row> rows, EmptyText empty = EmptyText::AsText);
    // The same in two halves, so the caller can go on meanwhile (read the
    // next rows, say): where a window is served, an ODBC driver gets the
    // rows on a thread of their own from beginCommitted on, and
    // finishCommitted waits for them, serving the window, and throws what
    // executeCommitted would have. Elsewhere finishCommitted runs them. The
    // rows must stay as they are, and the statement unused, until it has
    // returned.
    void beginCommitted(std::span<const Row> rows, EmptyText empty = EmptyText::AsText);
    void finishCommitted();

    void close();

private:
    // Runs the engine, logging its failures up to a limit per statement.
    void runLogged(const std::function<void()>& run);

    std::unique_ptr<PreparedEngine> m_engine;
    int m_failures = 0;
    // Rows begun and not yet finished; whether the engine took them on.
    std::span<const Row> m_begun;
    EmptyText m_begunEmpty = EmptyText::AsText;
    bool m_begunAside = false;
    std::exception_ptr m_beginFailure;
};

// One connection to either database. The engine is chosen by the connection
// string: a string naming the Jet provider opens the staging file through
// SQLite; any other string goes to the ODBC driver manager.
class Connection final {
public:
    Connection();
    Connection(Connection&&) noexcept;
    Connection& operator=(Connection&&) noexcept;
    ~Connection();

    void setMode(Mode mode) { m_mode = mode; }
    void setCursorLocation(CursorLocation location) { m_cursorLocation = location; }
    void setCommandTimeout(int seconds) { m_commandTimeout = seconds; }
    void setConnectionTimeout(int seconds) { m_connectionTimeout = seconds; }
    void setConnectionString(const QString& text) { m_connectionString = text; }
    const QString& connectionString() const { return m_connectionString; }
    // Whom a long wait or statement lets serve the window, through yield(),
    // and who may abandon it (RunAbandoned comes out of the call that was
    // waiting); an ODBC connection also tells it of each call that waits on
    // the server. Set before open; null means nobody. The context must
    // outlive the connection object; result sets and statements that outlive
    // it no longer use the context.
    void setRunContext(RunContext* context) { m_runContext = context; }

    void open();
    void open(const QString& connectionString);
    bool isOpen() const;

    // On the staging file, text after the first statement is refused rather
    // than ignored by all three below (blanks, comments and semicolons may
    // follow it); an ODBC driver judges the text itself.

    // Runs one statement at once; it takes effect by itself unless a
    // transaction is open.
    void execute(const QString& statement);
    // The same for a statement that must never be stopped once begun (one
    // that moves a table from one name to another): when the program is
    // ending meanwhile, it waits for the statement, up to the give-up,
    // rather than cancel it.
    void executeToEnd(const QString& statement);
    // Runs a query; its rows are read from the returned result set.
    ResultSet query(const QString& statement);
    // Prepares one statement with "?" placeholders.
    PreparedStatement prepare(const QString& statement);

    // Until commit() or rollback(), the statements of this connection take
    // effect together or not at all. Closing the connection with a
    // transaction open rolls it back.
    void beginTransaction();
    void commit();
    void rollback();

    // The server's name for itself as its driver reports it (SQL_DBMS_NAME:
    // "Oracle" for Oracle's), and the limits of its tables and names; empty
    // and no limits for the staging file.
    QString dbmsName();
    ServerLimits limits();

    void close();

private:
    ConnectionEngine& engine() const;

    Mode m_mode = Mode::Unspecified;
    CursorLocation m_cursorLocation = CursorLocation::Server;
    int m_commandTimeout = 30;
    int m_connectionTimeout = 15;
    QString m_connectionString;
    RunContext* m_runContext = nullptr;
    std::unique_ptr<ConnectionEngine> m_engine;
};

}  // namespace db
