#include "app/console/status_line.h"

#include <unistd.h>

#include "base/write_all.h"

namespace {

// Back to the start of the line, and the rest of it erased.
const QByteArray EraseLine = QByteArrayLiteral("\r\x1b[K");

}  // namespace

StatusLine::StatusLine() : m_terminal(::isatty(STDERR_FILENO) == 1) {}

void StatusLine::setPhase(const QString& phase) {
    m_phase = phase;
    redraw();
}

void StatusLine::setPercent(int percent) {
    m_percent = percent;
    redraw();
}

void StatusLine::setShowsPercent(bool shows) {
    m_showsPercent = shows;
    redraw();
}

void StatusLine::print(const QString& text) {
    QByteArray bytes;
    if (!m_shown.isEmpty()) bytes += EraseLine;
    bytes += text.toUtf8();
    bytes += '\n';
    WriteAll(STDERR_FILENO, bytes);
    m_shown.clear();
    redraw();
}

void StatusLine::clear() {
    if (!m_shown.isEmpty()) WriteAll(STDERR_FILENO, EraseLine);
    m_shown.clear();
    m_phase.clear();
}

void StatusLine::redraw() {
    if (!m_terminal) return;
    QString text = m_phase;
    if (!text.isEmpty() && m_showsPercent) text += QStringLiteral(": %1%").arg(m_percent);
    // Redrawn only when it changes: the percentage moves a hundred times at most.
    if (text == m_shown) return;
    m_shown = text;
    QByteArray bytes = EraseLine;
    bytes += text.toUtf8();
    WriteAll(STDERR_FILENO, bytes);
}
