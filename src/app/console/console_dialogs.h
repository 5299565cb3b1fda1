#pragma once

#include "base/dialogs.h"

class StatusLine;

// The run's boxes on standard error, each after the program's name. The
// prompt for the new table's name is answered with the name given; the
// overwrite question with Yes only when --overwrite was given.
class ConsoleDialogs final : public Dialogs {
public:
    ConsoleDialogs(StatusLine& status, QString newTable, bool overwrite);

    // The error box's caption and text, then a line "reason: " with the
    // failure's details (its own words when it has none).
    void errorBox(const ErrorBox& box) override;
    // The text, and its details on the lines after it when it has any (why
    // an overwritten table kept its rows); the caption is the program's
    // title, so it is left out.
    void message(const QString& text, const QString& caption, Icon icon,
                 const QString& details) override;
    bool askYesNo(const QString& text, const QString& caption) override;
    std::optional<QString> prompt(const QString& text, const QString& caption,
                                  const QString& defaultAnswer) override;

    // Boxes that tell of a failure of the run: every error box but a refused
    // row's (the rows missing count those), and every box that is not mere
    // information.
    int failures() const { return m_failures; }
    // The run was refused as beyond the server's limits (too many columns,
    // a name too long): the arguments asked for what the server cannot take.
    bool beyondServerLimits() const { return m_beyondServerLimits; }
    // The overwrite question was answered No.
    bool keptExistingTable() const { return m_keptExistingTable; }

private:
    StatusLine& m_status;
    const QString m_newTable;
    const bool m_overwrite;
    int m_failures = 0;
    bool m_beyondServerLimits = false;
    bool m_keptExistingTable = false;
};

// The error box's text as a terminal shows it: its lone carriage returns,
// line breaks in the box, become line breaks.
QString TerminalText(const QString& boxText);
