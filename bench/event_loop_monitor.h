#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

// Names the step the program's run is in, for the event-loop monitor. Called
// from the bench's own run context (the hooks the program calls), never from
// the program's code. Only the pointer is kept, so a call costs nothing per
// row: pass a string literal or other text that outlives the run.
void BenchWhere(const char* where);

// The program's run waits on one driver call to the server, from the first
// call until the second; forwarded from the run context's hooks. Both come
// on the thread the monitor ticks on, as the program's own calls do.
void BenchServerCallStarted();
void BenchServerCallEnded();

namespace bench {

// The longest the event loop went unserved by our own code: of each gap
// between two ticks of a 5 ms timer, the time outside driver calls to the
// server, and where the run was when the gap began and when it ended.
struct EventLoopStall {
    double milliseconds = 0;
    QString from;
    QString to;
};

// The longest single driver call to the server, and where the run was when
// it began.
struct DriverCall {
    double milliseconds = 0;
    QString where;
};

// Ticks a precise 5 ms timer while the event loop runs. A run that never
// yields shows as one gap from its start to finish(). One monitor at a time.
class EventLoopMonitor final {
public:
    EventLoopMonitor();
    ~EventLoopMonitor();
    EventLoopMonitor(const EventLoopMonitor&) = delete;
    EventLoopMonitor& operator=(const EventLoopMonitor&) = delete;

    // Counts the stretch since the last tick, which no tick closes, and stops.
    void finish();
    const EventLoopStall& longestStall() const { return m_longestStall; }
    const DriverCall& longestCall() const { return m_longestCall; }

    void serverCallStarted();
    void serverCallEnded();

private:
    void tick();
    // Counts the open call's time since it was last counted to this gap.
    void countOpenCall(qint64 now);

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastTickNs = 0;
    const char* m_whereAtLastTick = nullptr;
    // Time inside driver calls since the last tick.
    qint64 m_serverNsInGap = 0;
    // Calls nest only if a driver call is made inside another one's hooks;
    // the outermost is the one that counts.
    int m_callDepth = 0;
    qint64 m_callStartNs = 0;
    qint64 m_callCountedToNs = 0;
    const char* m_whereAtCallStart = nullptr;
    EventLoopStall m_longestStall;
    DriverCall m_longestCall;
};

}  // namespace bench
