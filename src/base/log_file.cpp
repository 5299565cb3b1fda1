#include "base/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <cerrno>
#include <cstring>

#include "base/failure.h"
#include "base/make_owner_only_path.h"
#include "base/write_all.h"
#include "base/xdg_user_folder.h"

namespace {

struct LogState {
    QMutex mutex;
    QByteArray path;  // as the file system names it, so no Qt call runs under the lock
    int fd = -1;
    qint64 size = 0;
    bool toTerminal = false;
    bool installed = false;
    QtMessageHandler previous = nullptr;

    LogState() = default;
    LogState(const LogState&) = delete;
    LogState& operator=(const LogState&) = delete;
    // A message sent while statics are destroyed (after this one) goes to the
    // handler that was there before, never to a mutex that is gone.
    ~LogState() {
        if (installed) qInstallMessageHandler(previous);
        if (fd >= 0) ::close(fd);
    }
};

LogState& state() {
    static LogState log;
    return log;
}

// Set while this thread is inside the handler: a message raised there goes
// straight to stderr instead of waiting on the lock this thread holds.
thread_local bool insideHandler = false;

// Opens the log for appending. Only a regular file of the user's own with no
// other name is written: a link at the path is never followed (a dangling one
// does not make its target), and a FIFO or device is not waited on. A file
// the user owns is narrowed to its owner, also when an older one had wider
// rights. Returns -1 with errno set, EPERM for a file that is refused.
int openOwnerOnly(const QByteArray& name, qint64& size) {
    constexpr int Flags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int fd = ::open(name.constData(), Flags);
    if (fd < 0 && errno == ENOENT) fd = ::open(name.constData(), Flags | O_CREAT | O_EXCL, 0600);
    if (fd < 0) return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() ||
        info.st_nlink != 1) {
        ::close(fd);
        errno = EPERM;
        return -1;
    }
    ::fcntl(fd, F_SETFL, O_APPEND);
    if ((info.st_mode & 077) != 0) ::fchmod(fd, info.st_mode & 0700);
    size = info.st_size;
    return fd;
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

// Plain calls only: a Qt call here could raise a message, which would wait
// on the lock that the handler holds. rename replaces an older ".1".
void rotate(LogState& log) {
    ::close(log.fd);
    const QByteArray old = log.path + ".1";
    ::rename(log.path.constData(), old.constData());
    log.fd = openOwnerOnly(log.path, log.size);
}

bool reachesStderr(const LogState& log, QtMsgType type) {
    // Without a terminal (a start from cron) the reason the program ends or
    // fails is still told where its caller looks.
    return log.toTerminal || type == QtCriticalMsg || type == QtFatalMsg;
}

void handler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const QByteArray line = formatLine(type, context, message);
    LogState& log = state();
    if (insideHandler) {
        WriteAll(STDERR_FILENO, line);
        return;
    }
    insideHandler = true;
    {
        QMutexLocker lock(&log.mutex);
        if (log.fd >= 0) {
            WriteAll(log.fd, line);
            log.size += line.size();
            if (log.size > LogRotateBytes) rotate(log);
        }
        if (reachesStderr(log, type)) WriteAll(STDERR_FILENO, line);
    }
    insideHandler = false;
}

}  // namespace

QString LogFilePath() {
    try {
        return XdgUserFolder("XDG_STATE_HOME", QStringLiteral(".local/state")) +
               QStringLiteral("/quillmere/quillmere.log");
    } catch (const Failure&) {
        return QString();
    }
}

QString NoLogFilePath() {
    return QStringLiteral("neither XDG_STATE_HOME nor HOME is set to an absolute path");
}

QString OpenLogFilePath() {
    LogState& log = state();
    QByteArray path;
    {
        QMutexLocker lock(&log.mutex);
        if (log.fd >= 0) path = log.path;
    }
    return path.isEmpty() ? QString() : QFile::decodeName(path);
}

QString InstallLogFile(const QString& path, LogMirror mirror) {
    LogState& log = state();
    QString refusal;
    {
        QMutexLocker lock(&log.mutex);
        if (log.fd >= 0) ::close(log.fd);
        log.fd = -1;
        log.size = 0;
        log.path = QFile::encodeName(path);
        log.toTerminal = mirror == LogMirror::ToTerminal && ::isatty(STDERR_FILENO) == 1;
        if (path.isEmpty()) {
            refusal = QStringLiteral("no diagnostics log: ") + NoLogFilePath();
        } else {
            // Levels made here are the owner's alone; one that is there keeps
            // its rights, but must be a real folder of the user's own, as a
            // link there would take the file anywhere.
            const QString folder = QFileInfo(path).absolutePath();
            MakeOwnerOnlyPath(folder);
            struct stat info {};
            const QByteArray folderName = QFile::encodeName(folder);
            if (::lstat(folderName.constData(), &info) == 0 &&
                (S_ISLNK(info.st_mode) || info.st_uid != ::geteuid())) {
                refusal = QStringLiteral("diagnostics log not opened: its folder ") + folder +
                          QStringLiteral(" is a symbolic link or belongs to another user");
            } else {
                log.fd = openOwnerOnly(log.path, log.size);
                const int error = errno;
                if (log.fd < 0)
                    refusal = QStringLiteral("diagnostics log ") + path +
                              QStringLiteral(" not opened: ") +
                              (error == EPERM || error == ELOOP
                                   ? QStringLiteral("it is not a regular file of the user's own")
                                   : QString::fromLocal8Bit(::strerror(error)));
            }
        }
    }
    const QtMessageHandler previous = qInstallMessageHandler(handler);
    if (previous != handler) log.previous = previous;
    log.installed = true;
    // Reaches the terminal, if there is one: the messages have nowhere else to go.
    if (!refusal.isEmpty()) qWarning().noquote() << refusal;
    return refusal;
}

void UninstallLogFile() {
    LogState& log = state();
    qInstallMessageHandler(log.previous);
    log.previous = nullptr;
    log.installed = false;
    QMutexLocker lock(&log.mutex);
    if (log.fd >= 0) ::close(log.fd);
    log.fd = -1;
}
