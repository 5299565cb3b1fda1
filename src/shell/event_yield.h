#pragma once

#include <QElapsedTimer>

// Thrown at a yield once the program is ending: the running operation stops
// there. It is no failure: trapped handlers end on it without an error box.
struct RunAbandoned {};

// Lets the windows process pending events during a long operation, so they
// repaint and take input. Called as often as the work likes (per row, per
// value); it hands over to the event loop only every few milliseconds, which
// keeps the cost per call to a clock read.
class EventYield final {
public:
    EventYield();
    // Processes pending events when the interval has passed; throws
    // RunAbandoned when the program is ending.
    void operator()();

    // The program is ending (a window was closed): every yield from now on
    // abandons its operation.
    static void abandonRuns();
    // A new start of the windows: operations may run again.
    static void allowRuns();
    static bool runsAbandoned();

private:
    QElapsedTimer m_sinceLast;
};
