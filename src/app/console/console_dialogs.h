#pragma once

#include "base/dialogs.h"

class StatusLine;

// The run's boxes on standard error. The prompt for the new table's name is
// answered with the name given; the overwrite question with Yes only when
// --overwrite was given.
class ConsoleDialogs final : public Dialogs {
public:
    ConsoleDialogs(StatusLine& status, QString newTable, bool overwrite);

    // The details are left out: the error box's text already names the
    // reason, and the log holds the driver's codes.
    void message(const QString& text, const QString& caption, Icon icon,
                 const QString& details) override;
    bool askYesNo(const QString& text, const QString& caption) override;
    std::optional<QString> prompt(const QString& text, const QString& caption,
                                  const QString& defaultAnswer) override;

    // Error boxes and other boxes that tell of something gone wrong.
    int failures() const { return m_failures; }
    // The overwrite question was answered No.
    bool keptExistingTable() const { return m_keptExistingTable; }

private:
    StatusLine& m_status;
    const QString m_newTable;
    const bool m_overwrite;
    int m_failures = 0;
    bool m_keptExistingTable = false;
};

// The error box's text as a terminal shows it: its lone carriage returns,
// line breaks in the box, become line breaks.
QString TerminalText(const QString& boxText);
