#pragma once

#include "db/connection.h"

namespace db {

struct ConnectionSettings {
    Mode mode;
    CursorLocation cursorLocation;
    int commandTimeout;
    int connectionTimeout;
    // Served while the engine waits (a locked staging file); may be null.
    RunContext* runContext;
};

class ResultEngine {
public:
    virtual ~ResultEngine() = default;
    virtual int fieldCount() const = 0;
    virtual QString fieldName(int index) const = 0;
    virtual bool next() = 0;
    virtual const Row& row() const = 0;
};

class ConnectionEngine {
public:
    virtual ~ConnectionEngine() = default;
    virtual void execute(const QString& statement) = 0;
    virtual std::unique_ptr<ResultEngine> query(const QString& statement) = 0;
};

std::unique_ptr<ConnectionEngine> openOdbc(const QString& connectionString,
                                           const ConnectionSettings& settings);
std::unique_ptr<ConnectionEngine> openSqlite(const QString& connectionString,
                                             const ConnectionSettings& settings);

}  // namespace db
