#include "shell/event_yield.h"

#include <QCoreApplication>

namespace {
bool g_abandoned = false;
// Well under the 50 ms after which a window feels frozen.
constexpr qint64 IntervalMs = 20;
}  // namespace

EventYield::EventYield() { m_sinceLast.start(); }

void EventYield::operator()() {
    if (g_abandoned) throw RunAbandoned{};
    if (m_sinceLast.elapsed() < IntervalMs) return;
    QCoreApplication::processEvents();
    m_sinceLast.restart();
    if (g_abandoned) throw RunAbandoned{};
}

void EventYield::abandonRuns() { g_abandoned = true; }
void EventYield::allowRuns() { g_abandoned = false; }
bool EventYield::runsAbandoned() { return g_abandoned; }
