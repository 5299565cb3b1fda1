#pragma once

#include <QString>

#include "base/event_loop_run_context.h"

class StatusLine;

// The join command's run context: the window's own context underneath, so a
// call to the server is served, cancelled and given up exactly as when the
// window is closed. An interrupt abandons the run from the moment it comes:
// no further step begins, the next yield ends a wait on the server, and a
// call given up then ends the program with exit code 130. The phase of each
// numbered line and the write's percentage go to the status line.
class ConsoleRunContext final : public RunContext {
public:
    ConsoleRunContext(StatusLine& status, QString table1, QString table2, QString newTable);

    void yield() override;
    void setProgress(int value) override;
    bool abandoned() const override;
    void stepStarted(int line) override;
    bool servesWhileWaiting() const override { return m_events.servesWhileWaiting(); }
    std::optional<std::chrono::steady_clock::time_point> giveUpAt() const override {
        return m_events.giveUpAt();
    }
    int givenUpExitCode() const override;

private:
    QString phaseOf(int line) const;

    StatusLine& m_status;
    const QString m_table1, m_table2, m_newTable;
    EventLoopRunContext m_events;
};
