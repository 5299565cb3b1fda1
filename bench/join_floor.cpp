#include "join_floor.h"

#include <QFile>
#include <QTextStream>

#include "bench_error.h"
#include "external_command.h"
#include "sqlite.h"

namespace bench {
namespace {

QString stagingName(const QString& name) {
    QString quoted = name;
    quoted.replace(QLatin1Char('`'), QStringLiteral("``"));
    return QLatin1Char('`') + quoted + QLatin1Char('`');
}

QByteArray stagingLiteral(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return (QLatin1Char('\'') + quoted + QLatin1Char('\'')).toUtf8();
}

// The program's full outer join of the staging tables, the second half
// without the rows the first already has. SQLite has RIGHT JOIN from 3.39.
QString joinQuery(const QString& field1, const QString& field2) {
    const QString left =
        stagingName(QStringLiteral("Table1")) + QLatin1Char('.') + stagingName(field1);
    const QString right =
        stagingName(QStringLiteral("Table2")) + QLatin1Char('.') + stagingName(field2);
    return QStringLiteral(
               "SELECT * FROM `Table1` LEFT JOIN `Table2` ON %1=%2 UNION ALL "
               "SELECT * FROM `Table1` RIGHT JOIN `Table2` ON %1= %2 WHERE %1 Is Null")
        .arg(left, right);
}

QString indexStatement(const QString& table, const QString& field) {
    return QStringLiteral("CREATE INDEX %1 ON %2(%3);")
        .arg(stagingName(QStringLiteral("%1 (join field %2)").arg(table, field)),
             stagingName(table), stagingName(field));
}

void replaceFile(const QString& from, const QString& to) {
    // A log left beside the old file would be read into the new one.
    for (const char* suffix : {"", "-wal", "-shm"}) QFile::remove(to + QLatin1String(suffix));
    if (!QFile::copy(from, to))
        throw BenchError(QStringLiteral("Could not copy %1 to %2.").arg(from, to));
}

}  // namespace

void MergeStagingFiles(const QString& first, const QString& second, const QString& target) {
    replaceFile(first, target);
    SqliteDatabase staging(target);
    staging.execute("ATTACH DATABASE " + stagingLiteral(second) + " AS second");
    QByteArray create;
    {
        SqliteStatement definition(
            staging,
            "SELECT sql FROM second.sqlite_schema WHERE type = 'table' AND name = 'Table2'");
        if (!definition.step()) throw BenchError(second + QStringLiteral(" holds no Table2."));
        create = reinterpret_cast<const char*>(sqlite3_column_text(definition.get(), 0));
    }
    staging.execute(create);
    staging.execute("INSERT INTO main.`Table2` SELECT * FROM second.`Table2`");
    staging.execute("DETACH DATABASE second");
}

QString JoinFloorTable() { return QStringLiteral("r"); }

double JoinFloor(const JoinFloorInput& input) {
    replaceFile(input.stagingTemplate, input.workFile);
    const QString scriptPath = input.workFile + QStringLiteral(".sql");
    {
        QFile file(scriptPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw BenchError(scriptPath + QStringLiteral(": ") + file.errorString());
        QTextStream script(&file);
        // The program's staging settings; -bail in the command stops at the
        // first error. The rows stay in the file's log: the program folds
        // its log into the file on a worker, beside its other work, so a
        // floor that did it in turn would cost more than the program's
        // staging.
        script << ".dbconfig no_ckpt_on_close on\n"
               << "PRAGMA synchronous=NORMAL;\nPRAGMA wal_autocheckpoint=0;\nBEGIN;\n"
               << indexStatement(QStringLiteral("Table1"), input.field1) << '\n'
               << indexStatement(QStringLiteral("Table2"), input.field2) << '\n'
               << "CREATE TABLE " << JoinFloorTable() << " AS "
               << joinQuery(input.field1, input.field2) << ";\nCOMMIT;\n";
        if (script.status() != QTextStream::Ok || !file.flush())
            throw BenchError(scriptPath + QStringLiteral(": ") + file.errorString());
    }
    const double seconds =
        RunTimed({input.shell, {QStringLiteral("-bail"), input.workFile}, scriptPath});
    // Folded in untimed, so the write floor reads a whole file as the
    // program reads its own.
    { const SqliteDatabase folded(input.workFile); }
    return seconds;
}

}  // namespace bench
