#include "app/console/console_dialogs.h"

#include "app/console/program_line.h"
#include "app/console/status_line.h"

namespace {

const QString ErrorBoxCaption = QStringLiteral("Application Error");
// What follows the description in every error box (see ErrorMessage).
const QString LocationStart = QStringLiteral("\r\nin Brisvane2018/12/22.");

// The failure's own words at the head of an error box: the driver's message
// for a failed statement or connection.
QString reasonOf(const QString& boxText) {
    const qsizetype end = boxText.lastIndexOf(LocationStart);
    return (end < 0 ? boxText : boxText.left(end)).trimmed();
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

void ConsoleDialogs::message(const QString& text, const QString& caption, Icon icon,
                             const QString& details) {
    if (caption == ErrorBoxCaption) {
        ++m_failures;
        // The box's details carry the driver's state, code and words; a box
        // without them has its own words as the reason.
        m_status.print(ProgramLine(ErrorBoxCaption + QLatin1Char('\n') + TerminalText(text) +
                                   QStringLiteral("\nreason: ") +
                                   TerminalText(details.isEmpty() ? reasonOf(text) : details)));
        return;
    }
    // The count of rows not written is told by the exit code and the summary.
    if (icon != Icon::Information) ++m_failures;
    m_status.print(ProgramLine(TerminalText(text)));
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
