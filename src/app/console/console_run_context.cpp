#include "app/console/console_run_context.h"

#include "app/console/exit_codes.h"
#include "app/console/interrupts.h"
#include "app/console/status_line.h"
#include "join/join_lines.h"

ConsoleRunContext::ConsoleRunContext(StatusLine& status, QString table1, QString table2,
                                     QString newTable)
    : m_status(status),
      m_table1(std::move(table1)),
      m_table2(std::move(table2)),
      m_newTable(std::move(newTable)) {}

void ConsoleRunContext::yield() {
    if (Interrupts::requested()) m_events.abandon();
    m_events.yield();
}

void ConsoleRunContext::setProgress(int value) { m_status.setPercent(value); }

// A signal counts from the moment it comes, so no further step begins.
bool ConsoleRunContext::abandoned() const {
    return m_events.abandoned() || Interrupts::requested();
}

int ConsoleRunContext::givenUpExitCode() const { return ExitCode::Interrupted; }

void ConsoleRunContext::stepStarted(int line) {
    m_status.setShowsPercent(line >= JoinLine::SendRows && line < JoinLine::ResetProgress);
    m_status.setPhase(phaseOf(line));
}

QString ConsoleRunContext::phaseOf(int line) const {
    using namespace JoinLine;
    if (line < CopyTable1) return QString();
    if (line < CopyTable2) return QStringLiteral("copying ") + m_table1;
    if (line < MakeField1Text) return QStringLiteral("copying ") + m_table2;
    if (line < AskTableName) return QStringLiteral("joining");
    if (line < OpenOracle) return QStringLiteral("staging");
    if (line < ResetProgress) return QStringLiteral("writing ") + m_newTable;
    return QStringLiteral("ending");
}
