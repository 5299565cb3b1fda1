#include "floor_child.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <exception>

#include "bench_error.h"
#include "child_process.h"
#include "copy_floor.h"
#include "odbc.h"
#include "write_floor.h"

namespace bench {
namespace {

const QString Seconds = QStringLiteral("seconds");

QJsonObject toJson(const FloorJob& job) {
    return {{QStringLiteral("write"), job.kind == FloorJob::Kind::Write},
            {QStringLiteral("connectionString"), job.connectionString},
            {QStringLiteral("serverTable"), job.serverTable},
            {QStringLiteral("stagingPath"), job.stagingPath},
            {QStringLiteral("stagingTable"), job.stagingTable}};
}

FloorJob fromJson(const QJsonObject& o) {
    const auto text = [&](const char* key) { return o.value(QLatin1String(key)).toString(); };
    return {
        o.value(QStringLiteral("write")).toBool() ? FloorJob::Kind::Write : FloorJob::Kind::Copy,
        text("connectionString"), text("serverTable"), text("stagingPath"), text("stagingTable")};
}

double run(const FloorJob& job) {
    // As the program checks its login before a run, which loads the driver,
    // a connection is made and closed first, outside the timing.
    { const OdbcConnection first(job.connectionString); }
    if (job.kind == FloorJob::Kind::Write)
        return WriteFloor(job.connectionString, job.stagingPath, job.stagingTable, job.serverTable);
    return CopyFloor(job.connectionString, job.serverTable, job.stagingTable, job.stagingPath);
}

}  // namespace

double MeasureFloor(const FloorJob& job, const QString& folder) {
    WriteJsonFile(JobFile(folder), toJson(job));
    return RunChild(QStringLiteral("--floor"), folder).value(Seconds).toDouble();
}

int RunFloorChild(const QString& folder) {
    QJsonObject result;
    try {
        QFile file(JobFile(folder));
        if (!file.open(QIODevice::ReadOnly))
            throw BenchError(file.fileName() + QStringLiteral(": ") + file.errorString());
        result.insert(Seconds, run(fromJson(QJsonDocument::fromJson(file.readAll()).object())));
    } catch (const std::exception& e) {
        result.insert(QStringLiteral("error"), QString::fromLocal8Bit(e.what()));
    }
    WriteJsonFile(ResultFile(folder), result);
    return result.contains(Seconds) ? 0 : 1;
}

}  // namespace bench
