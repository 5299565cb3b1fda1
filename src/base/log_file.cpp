#include "base/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>

namespace {

struct LogState {
    QMutex mutex;
    QString path;
    int fd = -1;
    qint64 size = 0;
    bool toTerminal = false;
    QtMessageHandler previous = nullptr;
};

LogState& state() {
    static LogState log;
    return log;
}

// Opened for appending and narrowed to its owner, also when an older file had
// wider rights.
int openOwnerOnly(const QString& path, qint64& size) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    if ((info.st_mode & 0777) != 0600) ::fchmod(fd, 0600);
    size = info.st_size;
    return fd;
}

void writeAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t done = ::write(fd, data, size_t(left));
        if (done <= 0) return;
        data += done;
        left -= done;
    }
}

const char* levelName(QtMsgType type) {
    switch (type) {
        case QtDebugMsg:
            return "debug";
        case QtInfoMsg:
            return "info";
        case QtWarningMsg:
            return "warning";
        case QtCriticalMsg:
            return "critical";
        case QtFatalMsg:
            return "fatal";
    }
    return "message";
}

// Continuation lines are indented, so every entry starts at the margin; the
// error box's lone carriage returns count as line breaks.
QByteArray formatLine(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    QString text = message;
    // Drivers end their messages with a line break; the entry ends with one of its own.
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r'))) text.chop(1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QStringLiteral("\n    "));
    QByteArray line = QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toUtf8();
    line += ' ';
    line += levelName(type);
    line += ' ';
    line += context.category ? context.category : "default";
    line += ": ";
    line += text.toUtf8();
    line += '\n';
    return line;
}

void rotate(LogState& log) {
    ::close(log.fd);
    log.fd = -1;
    const QString old = log.path + QStringLiteral(".1");
    QFile::remove(old);
    QFile::rename(log.path, old);
    log.fd = openOwnerOnly(log.path, log.size);
}

void handler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const QByteArray line = formatLine(type, context, message);
    LogState& log = state();
    QMutexLocker lock(&log.mutex);
    if (log.fd >= 0) {
        writeAll(log.fd, line);
        log.size += line.size();
        if (log.size > LogRotateBytes) rotate(log);
    }
    if (log.toTerminal) writeAll(STDERR_FILENO, line);
}

}  // namespace

QString LogFilePath() {
    QString folder = qEnvironmentVariable("XDG_STATE_HOME");
    if (folder.isEmpty()) folder = QDir::homePath() + QStringLiteral("/.local/state");
    return folder + QStringLiteral("/quillmere/quillmere.log");
}

void InstallLogFile(const QString& path, LogMirror mirror) {
    LogState& log = state();
    {
        QMutexLocker lock(&log.mutex);
        if (log.fd >= 0) ::close(log.fd);
        log.path = path;
        // The folder is made for its owner alone; one that is there keeps its rights.
        const QString folder = QFileInfo(path).absolutePath();
        if (!QFileInfo::exists(folder)) {
            const QByteArray name = QFile::encodeName(folder);
            QDir().mkpath(folder);
            ::chmod(name.constData(), 0700);
        }
        log.fd = openOwnerOnly(path, log.size);
        log.toTerminal = mirror == LogMirror::ToTerminal && ::isatty(STDERR_FILENO) == 1;
    }
    const QtMessageHandler previous = qInstallMessageHandler(handler);
    if (previous != handler) log.previous = previous;
}

void UninstallLogFile() {
    LogState& log = state();
    qInstallMessageHandler(log.previous);
    log.previous = nullptr;
    QMutexLocker lock(&log.mutex);
    if (log.fd >= 0) ::close(log.fd);
    log.fd = -1;
}
