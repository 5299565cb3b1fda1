#pragma once

#include <QString>

// The command's standard error. On a terminal it keeps one line at the
// bottom that is redrawn with the run's phase and the write's percentage;
// every other text is printed above it. Off a terminal there is no such line.
class StatusLine final {
public:
    StatusLine();
    StatusLine(const StatusLine&) = delete;
    StatusLine& operator=(const StatusLine&) = delete;

    void setPhase(const QString& phase);
    // The write's percentage; shown only while a phase that writes is on.
    void setPercent(int percent);
    void setShowsPercent(bool shows);

    // Prints text (with a line break) to standard error, above the line.
    void print(const QString& text);
    // Takes the line away, before the command ends.
    void clear();

private:
    void redraw();

    const bool m_terminal;
    QString m_phase;
    int m_percent = 0;
    bool m_showsPercent = false;
    QString m_shown;
};
