#include "write_floor.h"

#include <QFile>

#include "bench_error.h"
#include "external_command.h"
#include "sqlite.h"
#include "standin_login.h"

namespace bench {
namespace {

QByteArray quoted(const QByteArray& text, char quote) {
    QByteArray doubled = text;
    doubled.replace(quote, QByteArray(2, quote));
    return quote + doubled + quote;
}

// Writes every piece or throws; a short script would flatter the floor.
class ScriptFile final {
public:
    explicit ScriptFile(const QString& path) : m_file(path) {
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) fail();
    }
    void write(const QByteArray& text) {
        if (m_file.write(text) != text.size()) fail();
    }
    void close() {
        if (!m_file.flush()) fail();
        m_file.close();
    }

private:
    [[noreturn]] void fail() const {
        throw BenchError(m_file.fileName() + QStringLiteral(": ") + m_file.errorString());
    }
    QFile m_file;
};

}  // namespace

qint64 WriteInsertScript(const QString& stagingPath, const QString& stagedTable,
                         const QString& serverTable, const QString& scriptPath) {
    SqliteDatabase staging(stagingPath);
    SqliteStatement rows(staging, "SELECT * FROM " + quoted(stagedTable.toUtf8(), '`'));
    sqlite3_stmt* stmt = rows.get();
    const int columns = sqlite3_column_count(stmt);
    const QByteArray table = quoted(serverTable.toUtf8(), '"');

    ScriptFile script(scriptPath);
    QByteArray create = "CREATE TABLE " + table + '(';
    for (int i = 0; i < columns; ++i)
        create += (i ? ", " : "") + quoted(sqlite3_column_name(stmt, i), '"') + " VARCHAR(2000)";
    script.write(create + ");\n");

    const QByteArray insertStart = "INSERT INTO " + table + " VALUES(";
    qint64 count = 0;
    QByteArray line;
    while (rows.step()) {
        line = insertStart;
        for (int i = 0; i < columns; ++i) {
            if (i) line += ", ";
            if (sqlite3_column_type(stmt, i) == SQLITE_NULL) {
                line += "NULL";
                continue;
            }
            // The text first: asking for the length may otherwise convert twice.
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
            const int bytes = sqlite3_column_bytes(stmt, i);
            if (bytes == 0) {
                line += "NULL";
                continue;
            }
            line += quoted(QByteArray(text, bytes), '\'');
        }
        line += ");\n";
        script.write(line);
        ++count;
    }
    script.close();
    return count;
}

double WriteFloor(const StandinLogin& login, const QString& scriptPath) {
    QStringList arguments = login.psqlArguments();
    arguments << QStringLiteral("-1") << QStringLiteral("-f") << scriptPath;
    return RunTimed({QStringLiteral("psql"), arguments, QString(), login.psqlEnvironment()});
}

}  // namespace bench
