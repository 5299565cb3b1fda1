#include "app/console/join_command_line.h"

#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>

#include "app/console/exit_codes.h"
#include "app/console/program_line.h"
#include "base/log_file.h"
#include "base/write_all.h"

namespace {

const QString CommandName = QStringLiteral("join");

// Where the log goes, or why there is none: without a home the command
// still runs, and says so when it starts.
QString logFileText() {
    const QString path = LogFilePath();
    return path.isEmpty() ? QStringLiteral("none, as ") + NoLogFilePath() : path;
}

QString description() {
    return QStringLiteral(
               "Joins TABLE1 and TABLE2 on FIELD1 = FIELD2 with a full outer join into the new\n"
               "table NEWTABLE, as \"Start Joining\" does in the window, without a display.\n"
               "Tables are named exactly as the table list shows them.\n"
               "\n"
               "The login is the one the login window saved; --sid and --user override it.\n"
               "The password comes from --password-file, else from the environment variable\n"
               "QUILLMERE_PASSWORD, else from the saved login (when the SID and user are the\n"
               "saved ones), else from a prompt when standard input is a terminal. It is never\n"
               "taken from the command line. The settings are never written.\n"
               "\n"
               "The summary (rows copied, staged, written and missing, seconds per phase)\n"
               "goes to standard output; error boxes and progress go to standard error.\n"
               "Diagnostics log: ") +
           logFileText() +
           QStringLiteral(
               "\n"
               "\n"
               "Exit codes:\n"
               "  0    every row written\n"
               "  1    a failure was reported, also when rows are missing\n"
               "  2    bad usage, a table or field that does not exist, or a join\n"
               "       or name beyond the server's limits\n"
               "  3    some rows could not be written; the count is in the summary\n"
               "  4    the name exists and --overwrite was not given\n"
               "  5    another join holds the staging file\n"
               "  130  interrupted (Ctrl-C or SIGTERM)");
}

}  // namespace

bool IsJoinCommand(const QStringList& arguments) {
    return arguments.size() > 1 && arguments.at(1) == CommandName;
}

std::optional<JoinCommandOptions> ReadJoinCommandLine(const QStringList& arguments, int& exitCode) {
    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption sid(QStringLiteral("sid"),
                                 QStringLiteral("The Oracle SID (net service name) to log into."),
                                 QStringLiteral("SID"));
    const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("The Oracle user name."),
                                  QStringLiteral("USER"));
    const QCommandLineOption passwordFile(
        QStringLiteral("password-file"),
        QStringLiteral("Read the password from the first line of FILE (- for standard input)."),
        QStringLiteral("FILE"));
    const QCommandLineOption overwrite(
        QStringLiteral("overwrite"),
        QStringLiteral("Replace NEWTABLE when it is already one of the user's tables."));
    const QCommandLineOption suffix(
        QStringLiteral("suffix"),
        QStringLiteral("Added to the second of two result columns of the same name "
                       "(default \"1\")."),
        QStringLiteral("TEXT"), QStringLiteral("1"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Print the summary as one JSON object."));
    parser.addOptions({sid, user, passwordFile, overwrite, suffix, json});
    parser.addPositionalArgument(CommandName, QStringLiteral("The command."), CommandName);
    parser.addPositionalArgument(QStringLiteral("TABLE1"), QStringLiteral("The first table."));
    parser.addPositionalArgument(QStringLiteral("FIELD1"),
                                 QStringLiteral("The field of TABLE1 to join by."));
    parser.addPositionalArgument(QStringLiteral("TABLE2"), QStringLiteral("The second table."));
    parser.addPositionalArgument(QStringLiteral("FIELD2"),
                                 QStringLiteral("The field of TABLE2 to join by."));
    parser.addPositionalArgument(QStringLiteral("NEWTABLE"),
                                 QStringLiteral("The name of the new table."));

    const QString tryHelp =
        QStringLiteral("\nTry '%1 join --help'.\n").arg(QCoreApplication::applicationName());
    if (!parser.parse(arguments)) {
        WriteAll(STDERR_FILENO, ProgramLine(parser.errorText() + tryHelp).toUtf8());
        exitCode = ExitCode::Usage;
        return std::nullopt;
    }
    if (parser.isSet(help)) {
        WriteAll(STDOUT_FILENO, parser.helpText().toUtf8());
        exitCode = 0;
        return std::nullopt;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 6) {
        WriteAll(
            STDERR_FILENO,
            ProgramLine(QStringLiteral("join takes TABLE1 FIELD1 TABLE2 FIELD2 NEWTABLE") + tryHelp)
                .toUtf8());
        exitCode = ExitCode::Usage;
        return std::nullopt;
    }
    JoinCommandOptions options;
    options.table1 = positional.at(1);
    options.field1 = positional.at(2);
    options.table2 = positional.at(3);
    options.field2 = positional.at(4);
    options.newTable = positional.at(5);
    if (parser.isSet(sid)) options.sid = parser.value(sid);
    if (parser.isSet(user)) options.user = parser.value(user);
    if (parser.isSet(passwordFile)) options.passwordFile = parser.value(passwordFile);
    options.suffix = parser.value(suffix);
    options.overwrite = parser.isSet(overwrite);
    options.json = parser.isSet(json);
    return options;
}
