#pragma once

#include <QString>
#include <functional>

class TrappedHandler;

// Failures of one numbered line inside a streamed loop. Only the first
// failure is shown in the error box, so one broken table cannot bury the
// user in boxes; a lost connection is always shown, since it ends the loop
// and explains every row after it. A read failure, or a write through a lost
// connection, ends the loop.
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
    bool m_shownAny = false;
};
