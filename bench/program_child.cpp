#include "program_child.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonObject>
#include <QTimer>
#include <cstdio>
#include <exception>

#include "bench_error.h"
#include "bench_setup.h"
#include "child_process.h"

namespace bench {
namespace {

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

QJsonObject stretchJson(const UnservedStretch& s) {
    return {{QStringLiteral("milliseconds"), s.milliseconds},
            {QStringLiteral("from"), s.from},
            {QStringLiteral("to"), s.to},
            {QStringLiteral("call"), s.call}};
}

UnservedStretch stretchFromJson(const QJsonValue& value) {
    const QJsonObject o = value.toObject();
    return {o.value(QStringLiteral("milliseconds")).toDouble(),
            o.value(QStringLiteral("from")).toString(), o.value(QStringLiteral("to")).toString(),
            o.value(QStringLiteral("call")).toString()};
}

QJsonObject toJson(const ProgramMeasurement& m, const QString& error) {
    const ProgramTimings& t = m.timings;
    return {{QStringLiteral("copyTable1"), t.copyTable1},
            {QStringLiteral("copyTable2"), t.copyTable2},
            {QStringLiteral("indexesJoinStaging"), t.indexesJoinStaging},
            {QStringLiteral("writeToServer"), t.writeToServer},
            {QStringLiteral("wholeRun"), t.wholeRun},
            {QStringLiteral("peakResidentKiB"), m.peakResidentKiB},
            {QStringLiteral("withCalls"), stretchJson(m.withCalls)},
            {QStringLiteral("outsideCalls"), stretchJson(m.outsideCalls)},
            {QStringLiteral("connecting"), stretchJson(m.connecting)},
            {QStringLiteral("error"), error}};
}

ProgramMeasurement fromJson(const QJsonObject& o) {
    ProgramMeasurement m;
    m.timings.copyTable1 = o.value(QStringLiteral("copyTable1")).toDouble();
    m.timings.copyTable2 = o.value(QStringLiteral("copyTable2")).toDouble();
    m.timings.indexesJoinStaging = o.value(QStringLiteral("indexesJoinStaging")).toDouble();
    m.timings.writeToServer = o.value(QStringLiteral("writeToServer")).toDouble();
    m.timings.wholeRun = o.value(QStringLiteral("wholeRun")).toDouble();
    m.peakResidentKiB = o.value(QStringLiteral("peakResidentKiB")).toInteger();
    m.withCalls = stretchFromJson(o.value(QStringLiteral("withCalls")));
    m.outsideCalls = stretchFromJson(o.value(QStringLiteral("outsideCalls")));
    m.connecting = stretchFromJson(o.value(QStringLiteral("connecting")));
    return m;
}

}  // namespace

ProgramMeasurement MeasureProgram(const BenchSetup& setup, const QString& folder) {
    SaveSetup(setup, JobFile(folder));
    return fromJson(RunChild(QStringLiteral("--program"), folder));
}

int RunProgramChild(const QString& folder) {
    const BenchSetup setup = LoadSetup(JobFile(folder));
    try {
        LogIn(setup);
    } catch (const std::exception& e) {
        WriteJsonFile(ResultFile(folder), toJson({}, QString::fromLocal8Bit(e.what())));
        return 1;
    }
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
        measurement.withCalls = monitor.withCalls();
        measurement.outsideCalls = monitor.outsideCalls();
        measurement.connecting = monitor.connecting();
        measurement.peakResidentKiB = peakResidentKiB();
        try {
            WriteJsonFile(ResultFile(folder), toJson(measurement, error));
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
