#include "app/console/command_login.h"

#include <unistd.h>

#include <QFile>
#include <cstdio>

#include "app/console/interrupts.h"
#include "app/console/join_command_line.h"
#include "base/settings_store.h"

namespace {

// The first line, without its line break.
QString firstLine(QFile& file) {
    QByteArray line = file.readLine();
    if (line.endsWith('\n')) line.chop(1);
    if (line.endsWith('\r')) line.chop(1);
    return QString::fromUtf8(line);
}

QString passwordFromFile(const QString& path) {
    QFile file;
    const bool standardInput = path == QStringLiteral("-");
    if (standardInput) {
        if (!file.open(stdin, QIODevice::ReadOnly))
            throw LoginMissing{QStringLiteral("cannot read the password from standard input")};
    } else {
        file.setFileName(path);
        if (!file.open(QIODevice::ReadOnly))
            throw LoginMissing{QStringLiteral("cannot read the password file %1: %2")
                                   .arg(path, file.errorString())};
    }
    // An empty line is no password: a pipe that delivered nothing is a
    // mistake to name, not a login to try.
    const QString password = firstLine(file);
    if (password.isEmpty())
        throw LoginMissing{
            standardInput ? QStringLiteral("standard input held no password")
                          : QStringLiteral("the password file %1 holds no password").arg(path)};
    return password;
}

QString askPassword(const OracleLogin& login) {
    const QByteArray question =
        QStringLiteral("Password for %1 at %2: ").arg(login.user, login.sid).toUtf8();
    std::fwrite(question.constData(), 1, size_t(question.size()), stderr);
    std::fflush(stderr);
    Interrupts::echoOff();
    QFile input;
    QString password;
    if (input.open(stdin, QIODevice::ReadOnly)) password = firstLine(input);
    Interrupts::echoBack();
    std::fputc('\n', stderr);
    return password;
}

}  // namespace

OracleLogin CommandLogin(const JoinCommandOptions& options) {
    const QString savedSid = SettingsStore::read(SettingsStore::OracleSID());
    const QString savedUser = SettingsStore::read(SettingsStore::OracleUser());
    OracleLogin login;
    login.sid = options.sid.value_or(savedSid);
    login.user = options.user.value_or(savedUser);
    if (login.sid.isEmpty())
        throw LoginMissing{QStringLiteral("no SID: give --sid, or log in once in the window")};
    if (login.user.isEmpty())
        throw LoginMissing{QStringLiteral("no user: give --user, or log in once in the window")};

    if (options.passwordFile) {
        login.password = passwordFromFile(*options.passwordFile);
        return login;
    }
    if (!qEnvironmentVariableIsEmpty("QUILLMERE_PASSWORD")) {
        login.password = qEnvironmentVariable("QUILLMERE_PASSWORD");
        return login;
    }
    // The saved password belongs to the saved login: it goes to no other.
    if (login.sid == savedSid && login.user == savedUser) {
        login.password = SettingsStore::read(SettingsStore::OraclePassword());
        if (!login.password.isEmpty()) return login;
    }
    if (::isatty(STDIN_FILENO) == 1) {
        login.password = askPassword(login);
        return login;
    }
    throw LoginMissing{
        QStringLiteral("no password for %1 at %2: give --password-file or set QUILLMERE_PASSWORD")
            .arg(login.user, login.sid)};
}
