#include "child_process.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>

#include "bench_error.h"

namespace bench {

QString JobFile(const QString& folder) { return QDir(folder).filePath(QStringLiteral("job.json")); }

QString ResultFile(const QString& folder) {
    return QDir(folder).filePath(QStringLiteral("result.json"));
}

void WriteJsonFile(const QString& path, const QJsonObject& object) {
    QFile file(path);
    const QByteArray json = QJsonDocument(object).toJson();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(json) != json.size())
        throw BenchError(path + QStringLiteral(": ") + file.errorString());
}

QJsonObject RunChild(const QString& option, const QString& folder) {
    QFile::remove(ResultFile(folder));
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments({option, folder});
    // Whatever the child writes is shown as it comes.
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.setStandardInputFile(QProcess::nullDevice());
    child.start();
    if (!child.waitForStarted(-1))
        throw BenchError(option + QStringLiteral(" did not start: ") + child.errorString());
    child.waitForFinished(-1);

    QFile file(ResultFile(folder));
    if (!file.open(QIODevice::ReadOnly))
        throw BenchError(QStringLiteral("%1 left no result (exit %2, %3).")
                             .arg(option)
                             .arg(child.exitCode())
                             .arg(child.exitStatus() == QProcess::CrashExit
                                      ? QStringLiteral("crashed")
                                      : QStringLiteral("exited")));
    const QJsonObject result = QJsonDocument::fromJson(file.readAll()).object();
    const QString error = result.value(QStringLiteral("error")).toString();
    if (!error.isEmpty()) throw BenchError(option + QStringLiteral(" failed: ") + error);
    return result;
}

}  // namespace bench
