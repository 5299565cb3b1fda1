#include "psql_write.h"

#include <QFile>
#include <optional>

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

// Writes every piece or throws; a short file would flatter the figure.
class OutputFile final {
public:
    explicit OutputFile(const QString& path) : m_file(path) {
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

QByteArray createStatement(sqlite3_stmt* rows, const QByteArray& table) {
    QByteArray create = "CREATE TABLE " + table + '(';
    for (int i = 0; i < sqlite3_column_count(rows); ++i)
        create += (i ? ", " : "") + quoted(sqlite3_column_name(rows, i), '"') + " VARCHAR(2000)";
    return create + ");\n";
}

}  // namespace

qint64 WritePsqlFiles(const QString& stagingPath, const QString& stagedTable,
                      const QString& insertTable, const QString& copyTable,
                      const PsqlWriteFiles& files) {
    SqliteDatabase staging(stagingPath);
    SqliteStatement rows(staging, "SELECT * FROM " + quoted(stagedTable.toUtf8(), '`'));
    sqlite3_stmt* stmt = rows.get();
    const int columns = sqlite3_column_count(stmt);
    const QByteArray insertName = quoted(insertTable.toUtf8(), '"');
    const QByteArray copyName = quoted(copyTable.toUtf8(), '"');

    OutputFile copyScript(files.copyScript);
    copyScript.write(createStatement(stmt, copyName));
    copyScript.write("\\copy " + copyName + " FROM " + quoted(files.copyData.toUtf8(), '\'') +
                     " WITH (FORMAT csv)\n");
    copyScript.close();

    std::optional<OutputFile> script;
    if (!files.insertScript.isEmpty()) {
        script.emplace(files.insertScript);
        script->write(createStatement(stmt, insertName));
    }
    OutputFile data(files.copyData);
    const QByteArray insertStart = "INSERT INTO " + insertName + " VALUES(";
    qint64 count = 0;
    QByteArray line;
    QByteArray csv;
    while (rows.step()) {
        line = insertStart;
        csv.clear();
        for (int i = 0; i < columns; ++i) {
            if (i) {
                line += ", ";
                csv += ',';
            }
            // The text first: asking for the length may otherwise convert twice.
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
            const int bytes = sqlite3_column_bytes(stmt, i);
            // A Null or an empty text: NULL, which CSV writes as nothing unquoted.
            if (text == nullptr || bytes == 0) {
                line += "NULL";
                continue;
            }
            const QByteArray value(text, bytes);
            line += quoted(value, '\'');
            csv += quoted(value, '"');
        }
        if (script) script->write(line + ");\n");
        data.write(csv + '\n');
        ++count;
    }
    if (script) script->close();
    data.close();
    return count;
}

double RunPsqlScript(const StandinLogin& login, const QString& script) {
    QStringList arguments = login.psqlArguments();
    arguments << QStringLiteral("-1") << QStringLiteral("-f") << script;
    return RunTimed({QStringLiteral("psql"), arguments, QString(), login.psqlEnvironment()});
}

}  // namespace bench
