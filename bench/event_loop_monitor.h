#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

// Names the step the program's run is in, for the event-loop monitor. Called
// from the bench's own run context (the hooks the program calls), never from
// the program's code. Only the pointer is kept, so a call costs nothing per
// row: pass a string literal or other text that outlives the run.
void BenchWhere(const char* where);

namespace bench {

// The longest the event loop went unserved: the largest gap between two ticks
// of a 5 ms timer, and where the run was when the gap began and when it ended.
struct EventLoopStall {
    double milliseconds = 0;
    QString from;
    QString to;
};

// Ticks a precise 5 ms timer while the event loop runs. A run that never
// yields shows as one gap from its start to finish().
class EventLoopMonitor final {
public:
    EventLoopMonitor();
    EventLoopMonitor(const EventLoopMonitor&) = delete;
    EventLoopMonitor& operator=(const EventLoopMonitor&) = delete;

    // Counts the stretch since the last tick, which no tick closes, and stops.
    void finish();
    const EventLoopStall& longest() const { return m_longest; }

private:
    void tick();

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastTickNs = 0;
    const char* m_whereAtLastTick = nullptr;
    EventLoopStall m_longest;
};

}  // namespace bench
