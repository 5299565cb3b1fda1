#include "event_loop_monitor.h"

#include <atomic>

namespace {

// Set by the run's hooks, read by the timer; atomic so a hook called from a
// worker thread is still safe.
std::atomic<const char*> g_where{"start"};

// Well under the 50 ms after which a window feels frozen, so a stall stands
// out from the ticks' own rhythm.
constexpr int TickMs = 5;

QString whereText(const char* where) {
    return where ? QString::fromUtf8(where) : QStringLiteral("(unnamed)");
}

}  // namespace

void BenchWhere(const char* where) { g_where.store(where, std::memory_order_relaxed); }

namespace bench {

EventLoopMonitor::EventLoopMonitor() {
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(TickMs);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { tick(); });
    m_whereAtLastTick = g_where.load(std::memory_order_relaxed);
    m_clock.start();
    m_timer.start();
}

void EventLoopMonitor::finish() {
    if (!m_timer.isActive()) return;
    tick();
    m_timer.stop();
}

void EventLoopMonitor::tick() {
    const qint64 now = m_clock.nsecsElapsed();
    const char* where = g_where.load(std::memory_order_relaxed);
    const double gapMs = double(now - m_lastTickNs) / 1e6;
    if (gapMs > m_longest.milliseconds)
        m_longest = {gapMs, whereText(m_whereAtLastTick), whereText(where)};
    m_lastTickNs = now;
    m_whereAtLastTick = where;
}

}  // namespace bench
