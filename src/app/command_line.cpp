#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include "base/log_file.h"
#include "base/product.h"

std::optional<int> AnswerCommandLine(const QStringList& arguments, QTextStream& out) {
    QCommandLineParser parser;
    QString logPath = LogFilePath();
    if (logPath.isEmpty())
        logPath = QStringLiteral("none, as neither XDG_STATE_HOME nor HOME is an absolute path");
    // Qt's options are written with one dash ("-platform", "-reverse"); read
    // as words, none of them is taken for -h or -v.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        ProductTitle() +
        QStringLiteral(": joins two Oracle tables into a new table with a full outer join.\n\n"
                       "Without a command it opens the login window. The command\n"
                       "  join TABLE1 FIELD1 TABLE2 FIELD2 NEWTABLE [options]\n"
                       "runs one join from a script, without a display (see 'join --help').\n\n"
                       "Qt's own options (-platform, -style and the rest) are accepted too.\n"
                       "Diagnostics log: ") +
        logPath);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    // Unknown options are Qt's, or mistakes the window does not mind.
    parser.parse(arguments);
    // --help-all too: Qt's options are named in the description.
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        // Without an application object Qt cannot name the program itself.
        QString text = parser.helpText();
        if (!arguments.isEmpty())
            text.replace(QStringLiteral("<executable_name>"),
                         QFileInfo(arguments.first()).fileName());
        out << text;
        out.flush();
        return 0;
    }
    if (parser.isSet(version)) {
        out << QCoreApplication::applicationName() << QLatin1Char(' ')
            << QCoreApplication::applicationVersion() << Qt::endl;
        return 0;
    }
    return std::nullopt;
}
