#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

// Names the step the program's run is in, for the event-loop monitor: its
// place and its numbered line (0 for none). Called from the bench's own run
// context (the hooks the program calls), never from the program's code. Only
// the pointer is kept, so a call costs nothing per row: pass a string literal
// or other text that outlives the run.
void BenchWhere(const char* where, int line = 0);

// The program's run waits on one driver call to the server, from the first
// call until the second; forwarded from the run context's hooks. Both come
// on the thread the monitor ticks on, as the program's own calls do.
// `connecting` marks the call that opens a connection.
void BenchServerCallStarted(bool connecting);
void BenchServerCallEnded();
// The driver function being called (driver_call_names.cpp): a string literal.
void BenchDriverFunction(const char* name);

namespace bench {

// A stretch in which the event loop went unserved: its milliseconds, where
// the run was when it began and when it ended, and the longest driver call
// in it with its line (empty if there was none, or the figure leaves calls out).
struct UnservedStretch {
    double milliseconds = 0;
    QString from;
    QString to;
    QString call;
};

// Ticks a precise 5 ms timer while the event loop runs; each gap between two
// ticks is a stretch the window went unserved. A run that never yields shows
// as one gap from its start to finish(). One monitor at a time.
class EventLoopMonitor final {
public:
    EventLoopMonitor();
    ~EventLoopMonitor();
    EventLoopMonitor(const EventLoopMonitor&) = delete;
    EventLoopMonitor& operator=(const EventLoopMonitor&) = delete;

    // Counts the stretch since the last tick, which no tick closes, and stops.
    void finish();
    // The longest gap, driver calls included, connecting among them: a user
    // waits on a connect as on any other call.
    const UnservedStretch& withCalls() const { return m_withCalls; }
    // The longest time of a gap spent in our own code, outside driver calls.
    const UnservedStretch& outsideCalls() const { return m_outsideCalls; }
    // The longest gap in which a connection was opened, also counted by
    // withCalls().
    const UnservedStretch& connecting() const { return m_connecting; }

    void serverCallStarted(bool connecting);
    void serverCallEnded();

private:
    void tick();
    // Counts the open call's time since it was last counted to this gap.
    void countOpenCall(qint64 now);

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastTickNs = 0;
    const char* m_whereAtLastTick = nullptr;
    // The gap since the last tick: time inside driver calls, its longest
    // call, and whether a connection was opened in it.
    qint64 m_serverNsInGap = 0;
    double m_gapCallMs = 0;
    QString m_gapCall;
    bool m_gapConnects = false;
    // Calls nest only if a driver call is made inside another one's hooks;
    // the outermost is the one that counts.
    int m_callDepth = 0;
    qint64 m_callStartNs = 0;
    qint64 m_callCountedToNs = 0;
    const char* m_whereAtCallStart = nullptr;
    int m_lineAtCallStart = 0;
    bool m_callConnects = false;
    UnservedStretch m_withCalls;
    UnservedStretch m_outsideCalls;
    UnservedStretch m_connecting;
};

}  // namespace bench
