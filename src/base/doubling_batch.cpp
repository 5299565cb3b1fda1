#include "base/doubling_batch.h"

#include <algorithm>

namespace {
DoublingBatch::Bounds normalized(DoublingBatch::Bounds bounds) {
    bounds.smallest = std::max<qint64>(bounds.smallest, 1);
    bounds.largest = std::max(bounds.largest, bounds.smallest);
    return bounds;
}
}  // namespace

DoublingBatch::DoublingBatch(const Bounds& bounds)
    : m_bounds(normalized(bounds)), m_rows(std::clamp<qint64>(bounds.first, 1, m_bounds.largest)) {}

void DoublingBatch::took(qint64 milliseconds) {
    if (milliseconds < m_bounds.quickMs)
        m_rows = std::min(m_rows * 2, m_bounds.largest);
    else if (milliseconds > m_bounds.slowMs)
        m_rows = std::max(m_rows / 2, m_bounds.smallest);
}

void DoublingBatch::failed() { m_rows = std::max(m_rows / 2, m_bounds.smallest); }
