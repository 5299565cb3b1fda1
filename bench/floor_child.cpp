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

const QString Read = QStringLiteral("read");
const QString Insert = QStringLiteral("insert");
const QString Whole = QStringLiteral("whole");
const QString SendAndCommit = QStringLiteral("sendAndCommit");

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

QJsonObject run(const FloorJob& job) {
    // As the program checks its login before a run, which loads the driver,
    // a connection is made and closed first, outside the timing.
    { const OdbcConnection first(job.connectionString); }
    if (job.kind == FloorJob::Kind::Write) {
        const WriteFloorTimes times =
            WriteFloor(job.connectionString, job.stagingPath, job.stagingTable, job.serverTable);
        return {{Whole, times.whole}, {SendAndCommit, times.sendAndCommit}};
    }
    const CopyFloorTimes times =
        CopyFloor(job.connectionString, job.serverTable, job.stagingTable, job.stagingPath);
    return {{Read, times.read}, {Insert, times.insert}};
}

QJsonObject measure(const FloorJob& job, const QString& folder) {
    WriteJsonFile(JobFile(folder), toJson(job));
    return RunChild(QStringLiteral("--floor"), folder);
}

}  // namespace

CopyFloorTimes MeasureCopyFloor(const FloorJob& job, const QString& folder) {
    const QJsonObject times = measure(job, folder);
    return {times.value(Read).toDouble(), times.value(Insert).toDouble()};
}

WriteFloorTimes MeasureWriteFloor(const FloorJob& job, const QString& folder) {
    const QJsonObject times = measure(job, folder);
    return {times.value(Whole).toDouble(), times.value(SendAndCommit).toDouble()};
}

int RunFloorChild(const QString& folder) {
    QJsonObject result;
    try {
        QFile file(JobFile(folder));
        if (!file.open(QIODevice::ReadOnly))
            throw BenchError(file.fileName() + QStringLiteral(": ") + file.errorString());
        result = run(fromJson(QJsonDocument::fromJson(file.readAll()).object()));
    } catch (const std::exception& e) {
        result.insert(QStringLiteral("error"), QString::fromLocal8Bit(e.what()));
    }
    WriteJsonFile(ResultFile(folder), result);
    return result.contains(QStringLiteral("error")) ? 1 : 0;
}

}  // namespace bench
