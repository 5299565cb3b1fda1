#pragma once

#include <sqlite3.h>

#include <QByteArray>
#include <QString>

// The bench's own small SQLite owners.
namespace bench {

class SqliteDatabase final {
public:
    explicit SqliteDatabase(const QString& path);
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    sqlite3* get() const { return m_db; }
    // Runs one or more statements that return no rows.
    void execute(const QByteArray& sql);
    [[noreturn]] void fail() const;

private:
    sqlite3* m_db = nullptr;
};

// A prepared statement; the database must outlive it.
class SqliteStatement final {
public:
    SqliteStatement(const SqliteDatabase& db, const QByteArray& sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    sqlite3_stmt* get() const { return m_stmt; }
    // True while a row is there; throws on a failure.
    bool step();
    void reset();
    // The text is not copied: it must stay put until the next step.
    void bindText(int index, const char* text, int bytes);
    void bindNull(int index);

private:
    const SqliteDatabase& m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

}  // namespace bench
