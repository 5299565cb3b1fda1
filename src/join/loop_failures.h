#pragma once

#include <QString>
#include <functional>

class TrappedHandler;

// Failures of one numbered line inside a streamed loop. A failure is shown in
// the error box once; the same failure again at the same line is not shown
// again, so one broken table or connection cannot bury the user in boxes. A
// read failure, or a write through a broken connection, ends the loop.
class LoopFailures final {
public:
    enum class Ends { OnAnyFailure, OnBrokenConnection };

    LoopFailures(TrappedHandler& handler, int line, Ends ends);

    // Runs the action; false when the loop must end.
    bool run(const std::function<void()>& action);

private:
    TrappedHandler& m_handler;
    int m_line;
    Ends m_ends;
    QString m_lastShown;
    bool m_shownAny = false;
};
