#pragma once

#include <QStringList>
#include <memory>
#include <span>

#include "db/values.h"

class RunContext;

namespace db {

struct ConnectionSettings {
    Mode mode;
    CursorLocation cursorLocation;
    int commandTimeout;
    int connectionTimeout;
    // Served while the engine waits or works long; may be null.
    RunContext* runContext;
};

class ResultEngine {
public:
    virtual ~ResultEngine() = default;
    // The columns' names, in order.
    virtual const QStringList& fieldNames() const = 0;
    virtual bool next() = 0;
    virtual const Row& row() const = 0;
};

class PreparedEngine {
public:
    virtual ~PreparedEngine() = default;
    virtual int parameterCount() const = 0;
    // Runs the statement once per row; every row holds parameterCount values.
    // An empty text goes in as the rule says.
    virtual void execute(std::span<const Row> rows, EmptyText empty) = 0;
    // The same as a transaction of its own, committed; rolled back before a
    // failure is thrown. The connection has no transaction open.
    virtual void executeCommitted(std::span<const Row> rows, EmptyText empty) = 0;
    // Begins executeCommitted beside the caller and returns true, or returns
    // false where the engine cannot (finishCommitted is then never called).
    virtual bool beginCommitted(std::span<const Row> /*rows*/, EmptyText /*empty*/) {
        return false;
    }
    // Waits for the rows begun; throws what executeCommitted would have.
    virtual void finishCommitted() {}
};

class ConnectionEngine {
public:
    virtual ~ConnectionEngine() = default;
    virtual void execute(const QString& statement) = 0;
    // Never cancelled once begun; an engine that cancels nothing runs it as
    // any other.
    virtual void executeToEnd(const QString& statement) { execute(statement); }
    virtual std::unique_ptr<ResultEngine> query(const QString& statement) = 0;
    virtual std::unique_ptr<PreparedEngine> prepare(const QString& statement) = 0;
    virtual void beginTransaction() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    // The server's own name for itself, and its limits; the staging file
    // has neither.
    virtual QString dbmsName() { return {}; }
    virtual ServerLimits limits() { return {}; }
};

// The texts of misuse that both engines report alike.
inline QString transactionOpenText() { return QStringLiteral("A transaction is already open."); }
inline QString noTransactionText() { return QStringLiteral("No transaction is open."); }

std::unique_ptr<ConnectionEngine> openOdbc(const QString& connectionString,
                                           const ConnectionSettings& settings);
std::unique_ptr<ConnectionEngine> openSqlite(const QString& connectionString,
                                             const ConnectionSettings& settings);

}  // namespace db
