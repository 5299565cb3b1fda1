#include <QApplication>
#include <QLoggingCategory>
#include <QTextStream>

#include "app/command_line.h"
#include "app/console/join_command.h"
#include "app/console/join_command_line.h"
#include "app/window_flow.h"
#include "base/log_file.h"
#include "base/program_files.h"
#include "oracle/client_character_set.h"
#include "ui/qt_dialogs.h"

namespace {
Q_LOGGING_CATEGORY(lcApp, "quillmere.app", QtInfoMsg)

QStringList argumentList(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName(QStringLiteral("quillmere"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QM_VERSION));
    const QStringList arguments = argumentList(argc, argv);
    // A command runs without a display: no QApplication is ever made for it.
    if (IsJoinCommand(arguments)) {
        QCoreApplication app(argc, argv);
        return RunJoinCommand(arguments);
    }
    {
        QTextStream out(stdout);
        if (const auto exitCode = AnswerCommandLine(arguments, out)) return *exitCode;
    }
    InstallLogFile();
    // Before any connection, and once the log can take its warning.
    ChooseClientCharacterSet();
    QApplication app(argc, argv);
    // The desktop entry the window belongs to, so the desktop shows its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(QM_APP_ID));
    const QString programFolder = QCoreApplication::applicationDirPath();
    qCInfo(lcApp).noquote() << QStringLiteral("Quillmere %1 started from %2%3")
                                   .arg(QCoreApplication::applicationVersion(), programFolder,
                                        ProgramInstalled(programFolder)
                                            ? QStringLiteral(" (installed)")
                                            : QString());
    QtDialogs dialogs;
    WindowFlow flow(programFolder, dialogs);
    flow.start();
    return app.exec();
}
