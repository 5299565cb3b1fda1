#include "app/console/console_dialogs.h"

#include "app/console/program_line.h"
#include "app/console/status_line.h"
#include "db/db_error.h"
#include "join/join_lines.h"
#include "join/server_limits.h"

namespace {

// A row the server refused: the rows missing count it. A lost connection
// reported at the same line is a failure of the run.
bool rowRefused(const ErrorBox& box) {
    if (box.line != JoinLine::InsertRow) return false;
    try {
        if (box.failure) std::rethrow_exception(box.failure);
    } catch (const DbError& error) {
        return !error.connectionLost();
    } catch (...) {
    }
    return true;
}

bool limitRefusal(const ErrorBox& box) {
    try {
        if (box.failure) std::rethrow_exception(box.failure);
    } catch (const ServerLimitExceeded&) {
        return true;
    } catch (...) {
    }
    return false;
}

}  // namespace

QString TerminalText(const QString& boxText) {
    QString text = boxText;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

ConsoleDialogs::ConsoleDialogs(StatusLine& status, QString newTable, bool overwrite)
    : m_status(status), m_newTable(std::move(newTable)), m_overwrite(overwrite) {}

void ConsoleDialogs::errorBox(const ErrorBox& box) {
    if (limitRefusal(box))
        m_beyondServerLimits = true;
    else if (!rowRefused(box))
        ++m_failures;
    // The details carry the driver's state, code and words; a failure
    // without them has its own words as the reason.
    const QString reason = box.details.isEmpty() ? box.description.trimmed() : box.details;
    m_status.print(ProgramLine(errorBoxCaption() + QLatin1Char('\n') + TerminalText(box.text) +
                               QStringLiteral("\nreason: ") + TerminalText(reason)));
}

void ConsoleDialogs::message(const QString& text, const QString&, Icon icon,
                             const QString& details) {
    // The count of rows not written is told by the exit code and the summary.
    if (icon != Icon::Information) ++m_failures;
    m_status.print(
        ProgramLine(TerminalText(text) +
                    (details.isEmpty() ? QString() : QLatin1Char('\n') + TerminalText(details))));
}

bool ConsoleDialogs::askYesNo(const QString& text, const QString&) {
    if (m_overwrite) return true;
    // The name was listed when the command began; a table made since then
    // under it is kept all the same.
    m_keptExistingTable = true;
    m_status.print(
        ProgramLine(TerminalText(text) +
                    QStringLiteral(" No: --overwrite was not given; nothing was written.")));
    return false;
}

std::optional<QString> ConsoleDialogs::prompt(const QString&, const QString&, const QString&) {
    return m_newTable;
}
