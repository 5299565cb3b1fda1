#include "app/console/join_command.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QLoggingCategory>

#include "app/console/closest_names.h"
#include "app/console/command_login.h"
#include "app/console/console_dialogs.h"
#include "app/console/console_join_window.h"
#include "app/console/console_run_context.h"
#include "app/console/exit_codes.h"
#include "app/console/interrupts.h"
#include "app/console/join_command_line.h"
#include "app/console/program_line.h"
#include "app/console/status_line.h"
#include "app/console/summary_output.h"
#include "base/end_program_now.h"
#include "base/failure_description.h"
#include "base/log_file.h"
#include "base/write_all.h"
#include "db/db_error.h"
#include "join/join_run.h"
#include "join/join_summary.h"
#include "join/list_contains.h"
#include "oracle/client_character_set.h"
#include "oracle/list_oracle_tables.h"
#include "oracle/list_table_fields.h"

namespace {

Q_LOGGING_CATEGORY(lcApp, "quillmere.app", QtInfoMsg)

// A failure that ended the command before the run: the driver's words, and
// its SQLSTATE and native code when it gave them.
QString reasonText(const std::exception& error) {
    QString text = FailureDescription(error).trimmed();
    if (const auto* db = dynamic_cast<const DbError*>(&error); db && !db->state().isEmpty())
        text += QStringLiteral(" (SQLSTATE %1, native code %2)")
                    .arg(db->state(), QString::number(db->nativeCode()));
    return text;
}

QString quoted(const QString& name) { return QLatin1Char('"') + name + QLatin1Char('"'); }

QString closestText(const QStringList& names, const QString& wanted) {
    const QStringList closest = ClosestNames(names, wanted);
    if (closest.isEmpty()) return QStringLiteral(" (there are none)");
    QStringList shown;
    for (const QString& name : closest) shown << quoted(name);
    return QStringLiteral("; the closest: ") + shown.join(QStringLiteral(", "));
}

// What the command checks before the run copies anything: both tables are
// the login's, exactly as the table list shows them, and each field is its
// table's. Fills tables with the table list; returns the exit code that ends
// the command, or none.
std::optional<int> checkChoice(const JoinCommandOptions& options, const OracleLogin& login,
                               RunContext& context, StatusLine& status, QStringList& tables) {
    try {
        ListOracleTables(
            login,
            [&](const QString& name) {
                tables << name;
                return true;
            },
            context);
    } catch (const std::exception& error) {
        status.print(ProgramLine(
            QStringLiteral("cannot list the tables of %1 at %2: ").arg(login.user, login.sid) +
            reasonText(error)));
        return ExitCode::Failure;
    }
    bool wrong = false;
    struct Side {
        QString table, field;
    };
    QList<Side> known;
    QStringList missing;
    for (const Side& side :
         {Side{options.table1, options.field1}, Side{options.table2, options.field2}}) {
        if (tables.contains(side.table)) {
            known << side;
            continue;
        }
        wrong = true;
        if (missing.contains(side.table)) continue;
        missing << side.table;
        status.print(ProgramLine(QStringLiteral("no table ") + quoted(side.table) +
                                 QStringLiteral(" among the tables of ") + login.user +
                                 closestText(tables, side.table)));
    }
    for (const Side& side : known) {
        QStringList fields;
        try {
            fields = TableFieldNames(login, side.table);
        } catch (const std::exception& error) {
            status.print(ProgramLine(QStringLiteral("cannot list the fields of ") +
                                     quoted(side.table) + QStringLiteral(": ") +
                                     reasonText(error)));
            return ExitCode::Failure;
        }
        if (fields.contains(side.field)) continue;
        status.print(ProgramLine(QStringLiteral("no field ") + quoted(side.field) +
                                 QStringLiteral(" in table ") + quoted(side.table) +
                                 closestText(fields, side.field)));
        wrong = true;
    }
    if (wrong) return ExitCode::Usage;
    // Asked before anything is copied, so a name that would be kept costs
    // nothing; the run asks again when it comes to the writing.
    if (!options.overwrite && ListContains(tables, options.newTable)) {
        status.print(ProgramLine(
            quoted(options.newTable) + QStringLiteral(" is already one of the tables of ") +
            login.user + QStringLiteral("; give --overwrite to replace it. Nothing was done.")));
        return ExitCode::NameExists;
    }
    return std::nullopt;
}

int exitCodeOf(const JoinRunResult& result, const ConsoleDialogs& dialogs) {
    if (Interrupts::requested()) return ExitCode::Interrupted;
    if (result.ending == JoinRunResult::Ending::StagingBusy) return ExitCode::StagingBusy;
    if (dialogs.keptExistingTable()) return ExitCode::NameExists;
    if (dialogs.beyondServerLimits()) return ExitCode::Usage;
    // A failure says more than the rows it left missing.
    if (dialogs.failures() > 0 || result.ending != JoinRunResult::Ending::Ran ||
        result.summary.written < 0)
        return ExitCode::Failure;
    if (result.summary.missing() > 0) return ExitCode::RowsMissing;
    return ExitCode::Written;
}

void printSummary(const JoinCommandOptions& options, const JoinRunResult& result, int exitCode) {
    if (result.ending != JoinRunResult::Ending::Ran) return;
    // The run learns the name when it comes to ask for it; the command was
    // given it before anything began, also when the run ended sooner.
    JoinSummary summary = result.summary;
    if (summary.newTable.isEmpty()) summary.newTable = options.newTable;
    WriteAll(
        STDOUT_FILENO,
        (options.json ? SummaryJson(summary, exitCode) : SummaryText(summary, exitCode)).toUtf8());
}

}  // namespace

int RunJoinCommand(const QStringList& arguments) {
    int exitCode = ExitCode::Usage;
    const std::optional<JoinCommandOptions> read = ReadJoinCommandLine(arguments, exitCode);
    if (!read) return exitCode;
    const JoinCommandOptions& options = *read;
    StatusLine status;
    if (options.newTable.isEmpty()) {
        status.print(ProgramLine(QStringLiteral("NEWTABLE is empty")));
        return ExitCode::Usage;
    }
    Interrupts::install();
    // The window's log; the command's standard error carries its own report,
    // so a log that cannot be written is told there by the command itself.
    if (const QString refusal = InstallLogFile(LogFilePath(), LogMirror::None); !refusal.isEmpty())
        status.print(ProgramLine(refusal));
    // Before any connection, and once the log can take its warning.
    ChooseClientCharacterSet();

    OracleLogin login;
    try {
        login = CommandLogin(options);
    } catch (const LoginMissing& missing) {
        status.print(ProgramLine(missing.text));
        return ExitCode::Usage;
    }
    qCInfo(lcApp).noquote() << QStringLiteral("join command: %1.%2 with %3.%4 into %5 as %6 at %7")
                                   .arg(options.table1, options.field1, options.table2,
                                        options.field2, options.newTable, login.user, login.sid);

    ConsoleRunContext context(status, options.table1, options.table2, options.newTable);
    QStringList tables;
    status.setPhase(QStringLiteral("checking"));
    if (const auto ended = checkChoice(options, login, context, status, tables)) {
        status.clear();
        return *ended;
    }

    ConsoleJoinWindow window(
        {options.table1, options.field1, options.table2, options.field2, options.suffix, login},
        tables);
    ConsoleDialogs dialogs(status, options.newTable, options.overwrite);
    JoinRunResult result;
    // Said when a call to the server that does not return ends the program
    // (after the run's own words, which count the rows written).
    LastWords cutShort([&] {
        status.clear();
        printSummary(options, result, ExitCode::Interrupted);
    });
    Interrupts::setRunArmed(true);
    PushButton2_Click(window, dialogs, context, QCoreApplication::applicationDirPath(), &result);
    Interrupts::setRunArmed(false);
    status.clear();
    exitCode = exitCodeOf(result, dialogs);
    printSummary(options, result, exitCode);
    return exitCode;
}
