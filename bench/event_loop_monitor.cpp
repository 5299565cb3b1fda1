#include "event_loop_monitor.h"

#include <atomic>

namespace {

// Set by the run's hooks, read by the timer; atomic so a hook called from a
// worker thread is still safe.
std::atomic<const char*> g_where{"start"};
std::atomic<int> g_line{0};
// The driver function of the call under way; none for one not wrapped.
std::atomic<const char*> g_function{nullptr};

// The monitor that hears of driver calls; there is one per run.
bench::EventLoopMonitor* g_monitor = nullptr;

// Well under the 50 ms after which a window feels frozen, so a stall stands
// out from the ticks' own rhythm.
constexpr int TickMs = 5;

QString whereText(const char* where) {
    return where ? QString::fromUtf8(where) : QStringLiteral("(unnamed)");
}

}  // namespace

void BenchWhere(const char* where, int line) {
    g_where.store(where, std::memory_order_relaxed);
    g_line.store(line, std::memory_order_relaxed);
}

void BenchServerCallStarted(bool connecting) {
    if (g_monitor) g_monitor->serverCallStarted(connecting);
}

void BenchServerCallEnded() {
    if (g_monitor) g_monitor->serverCallEnded();
}

void BenchDriverFunction(const char* name) { g_function.store(name, std::memory_order_relaxed); }

namespace bench {

EventLoopMonitor::EventLoopMonitor() {
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(TickMs);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { tick(); });
    m_whereAtLastTick = g_where.load(std::memory_order_relaxed);
    m_clock.start();
    m_timer.start();
    g_monitor = this;
}

EventLoopMonitor::~EventLoopMonitor() {
    if (g_monitor == this) g_monitor = nullptr;
}

void EventLoopMonitor::finish() {
    if (!m_timer.isActive()) return;
    tick();
    m_timer.stop();
}

void EventLoopMonitor::serverCallStarted(bool connecting) {
    if (m_callDepth++ > 0) return;
    m_callStartNs = m_clock.nsecsElapsed();
    m_callCountedToNs = m_callStartNs;
    m_whereAtCallStart = g_where.load(std::memory_order_relaxed);
    m_lineAtCallStart = g_line.load(std::memory_order_relaxed);
    m_callConnects = connecting;
    if (connecting) m_gapConnects = true;
    g_function.store(nullptr, std::memory_order_relaxed);
}

void EventLoopMonitor::serverCallEnded() {
    // An end without a start (the monitor came after it) is no call of ours.
    if (m_callDepth == 0 || --m_callDepth > 0) return;
    const qint64 now = m_clock.nsecsElapsed();
    m_serverNsInGap += now - m_callCountedToNs;
    m_callConnects = false;
    const double callMs = double(now - m_callStartNs) / 1e6;
    if (callMs > m_gapCallMs) {
        m_gapCallMs = callMs;
        const char* function = g_function.load(std::memory_order_relaxed);
        m_gapCall = QStringLiteral("%1 at line %2 (%3), %4 ms")
                        .arg(function ? QString::fromLatin1(function) : QStringLiteral("a call"))
                        .arg(m_lineAtCallStart)
                        .arg(whereText(m_whereAtCallStart))
                        .arg(callMs, 0, 'f', 1);
    }
}

void EventLoopMonitor::countOpenCall(qint64 now) {
    if (m_callDepth == 0) return;
    m_serverNsInGap += now - m_callCountedToNs;
    m_callCountedToNs = now;
}

void EventLoopMonitor::tick() {
    const qint64 now = m_clock.nsecsElapsed();
    const QString from = whereText(m_whereAtLastTick);
    const char* where = g_where.load(std::memory_order_relaxed);
    // A call still open at a tick (the tick came from inside it) counts to
    // this gap up to now and to the following gaps from then on.
    countOpenCall(now);
    const double gapMs = double(now - m_lastTickNs) / 1e6;
    const double ownMs = double(now - m_lastTickNs - m_serverNsInGap) / 1e6;
    if (ownMs > m_outsideCalls.milliseconds)
        m_outsideCalls = {ownMs, from, whereText(where), QString()};
    const UnservedStretch gap{gapMs, from, whereText(where), m_gapCall};
    if (gapMs > m_withCalls.milliseconds) m_withCalls = gap;
    if (m_gapConnects && gapMs > m_connecting.milliseconds) m_connecting = gap;
    m_lastTickNs = now;
    m_whereAtLastTick = where;
    m_serverNsInGap = 0;
    m_gapCallMs = 0;
    m_gapCall.clear();
    m_gapConnects = m_callDepth > 0 && m_callConnects;
}

}  // namespace bench
