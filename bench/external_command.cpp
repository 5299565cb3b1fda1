#include "external_command.h"

#include <QElapsedTimer>
#include <QProcess>

#include "bench_error.h"

namespace bench {
namespace {

void prepare(QProcess& process, const Command& command) {
    process.setProgram(command.program);
    process.setArguments(command.arguments);
    process.setProcessEnvironment(command.environment);
    if (!command.standardInputFile.isEmpty())
        process.setStandardInputFile(command.standardInputFile);
    else
        process.setStandardInputFile(QProcess::nullDevice());
}

void finish(QProcess& process, const Command& command) {
    if (!process.waitForStarted(-1))
        throw BenchError(command.program + QStringLiteral(": ") + process.errorString());
    process.waitForFinished(-1);
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0) return;
    const QString said = QString::fromUtf8(process.readAllStandardError()).trimmed();
    throw BenchError(QStringLiteral("%1 failed (exit %2): %3")
                         .arg(command.program)
                         .arg(process.exitCode())
                         .arg(said.isEmpty() ? process.errorString() : said));
}

}  // namespace

double RunTimed(const Command& command) {
    QProcess process;
    prepare(process, command);
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start();
    finish(process, command);
    return double(clock.nsecsElapsed()) / 1e9;
}

QString RunForOutput(const Command& command) {
    QProcess process;
    prepare(process, command);
    process.start();
    finish(process, command);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

}  // namespace bench
