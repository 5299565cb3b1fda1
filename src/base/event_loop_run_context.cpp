#include "base/event_loop_run_context.h"

#include <QCoreApplication>

namespace {
// Well under the 50 ms after which a window feels frozen.
constexpr qint64 IntervalMs = 20;
}  // namespace

EventLoopRunContext::EventLoopRunContext(std::function<void(int)> progress)
    : m_progress(std::move(progress)) {
    m_sinceLast.start();
}

void EventLoopRunContext::yield() {
    if (m_abandoned) throw RunAbandoned{};
    if (m_sinceLast.elapsed() < IntervalMs) return;
    QCoreApplication::processEvents();
    m_sinceLast.restart();
    if (m_abandoned) throw RunAbandoned{};
}

void EventLoopRunContext::abandon() {
    if (m_abandoned) return;
    m_abandoned = true;
    m_abandonedAt = std::chrono::steady_clock::now();
}

std::optional<std::chrono::steady_clock::time_point> EventLoopRunContext::giveUpAt() const {
    if (!m_abandoned) return std::nullopt;
    return m_abandonedAt + GiveUpAfter;
}

void EventLoopRunContext::setProgress(int value) {
    if (m_progress) m_progress(value);
}
