#include "program_child.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTimer>
#include <cstdio>
#include <exception>

#include "bench_error.h"
#include "bench_setup.h"

namespace bench {
namespace {

QString setupFile(const QString& folder) {
    return QDir(folder).filePath(QStringLiteral("setup.json"));
}
QString resultFile(const QString& folder) {
    return QDir(folder).filePath(QStringLiteral("result.json"));
}

// The process's peak resident set so far, from the kernel's own count.
qint64 peakResidentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

QJsonObject toJson(const ProgramMeasurement& m, const QString& error) {
    const ProgramTimings& t = m.timings;
    return {{QStringLiteral("measured"), t.measured},
            {QStringLiteral("copyTable1"), t.copyTable1},
            {QStringLiteral("copyTable2"), t.copyTable2},
            {QStringLiteral("indexesJoinStaging"), t.indexesJoinStaging},
            {QStringLiteral("writeToServer"), t.writeToServer},
            {QStringLiteral("wholeRun"), t.wholeRun},
            {QStringLiteral("peakResidentKiB"), m.peakResidentKiB},
            {QStringLiteral("stallMs"), m.longestStall.milliseconds},
            {QStringLiteral("stallFrom"), m.longestStall.from},
            {QStringLiteral("stallTo"), m.longestStall.to},
            {QStringLiteral("driverCallMs"), m.longestCall.milliseconds},
            {QStringLiteral("driverCallWhere"), m.longestCall.where},
            {QStringLiteral("error"), error}};
}

ProgramMeasurement fromJson(const QJsonObject& o) {
    ProgramMeasurement m;
    m.timings.measured = o.value(QStringLiteral("measured")).toBool();
    m.timings.copyTable1 = o.value(QStringLiteral("copyTable1")).toDouble();
    m.timings.copyTable2 = o.value(QStringLiteral("copyTable2")).toDouble();
    m.timings.indexesJoinStaging = o.value(QStringLiteral("indexesJoinStaging")).toDouble();
    m.timings.writeToServer = o.value(QStringLiteral("writeToServer")).toDouble();
    m.timings.wholeRun = o.value(QStringLiteral("wholeRun")).toDouble();
    m.peakResidentKiB = o.value(QStringLiteral("peakResidentKiB")).toInteger();
    m.longestStall = {o.value(QStringLiteral("stallMs")).toDouble(),
                      o.value(QStringLiteral("stallFrom")).toString(),
                      o.value(QStringLiteral("stallTo")).toString()};
    m.longestCall = {o.value(QStringLiteral("driverCallMs")).toDouble(),
                     o.value(QStringLiteral("driverCallWhere")).toString()};
    return m;
}

void writeResult(const QString& folder, const ProgramMeasurement& m, const QString& error) {
    QFile file(resultFile(folder));
    const QByteArray json = QJsonDocument(toJson(m, error)).toJson();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(json) != json.size())
        throw BenchError(file.fileName() + QStringLiteral(": ") + file.errorString());
}

}  // namespace

ProgramMeasurement MeasureProgram(const BenchSetup& setup, const QString& folder) {
    SaveSetup(setup, setupFile(folder));
    QFile::remove(resultFile(folder));

    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments({QStringLiteral("--program"), folder});
    // Whatever the program writes is shown as it comes.
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.setStandardInputFile(QProcess::nullDevice());
    child.start();
    if (!child.waitForStarted(-1))
        throw BenchError(QStringLiteral("The program's run did not start: ") + child.errorString());
    child.waitForFinished(-1);

    QFile file(resultFile(folder));
    if (!file.open(QIODevice::ReadOnly))
        throw BenchError(QStringLiteral("The program's run left no result (exit %1, %2).")
                             .arg(child.exitCode())
                             .arg(child.exitStatus() == QProcess::CrashExit
                                      ? QStringLiteral("crashed")
                                      : QStringLiteral("exited")));
    const QJsonObject result = QJsonDocument::fromJson(file.readAll()).object();
    const QString error = result.value(QStringLiteral("error")).toString();
    if (!error.isEmpty()) throw BenchError(QStringLiteral("The program's run failed: ") + error);
    return fromJson(result);
}

int RunProgramChild(const QString& folder) {
    const BenchSetup setup = LoadSetup(setupFile(folder));
    BenchWhere("before the run");
    EventLoopMonitor monitor;
    int exitCode = 0;
    // From inside the event loop, as the program's click handler runs.
    QTimer::singleShot(0, QCoreApplication::instance(), [&] {
        ProgramMeasurement measurement;
        QString error;
        try {
            measurement.timings = RunProgram(setup);
        } catch (const std::exception& e) {
            error = QString::fromLocal8Bit(e.what());
        } catch (...) {
            error = QStringLiteral("an exception of unknown type");
        }
        BenchWhere("after the run");
        monitor.finish();
        measurement.longestStall = monitor.longestStall();
        measurement.longestCall = monitor.longestCall();
        measurement.peakResidentKiB = peakResidentKiB();
        try {
            writeResult(folder, measurement, error);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "qm_bench: %s\n", e.what());
            error = QStringLiteral("no result");
        }
        exitCode = error.isEmpty() ? 0 : 1;
        QCoreApplication::exit(exitCode);
    });
    QCoreApplication::exec();
    return exitCode;
}

}  // namespace bench
