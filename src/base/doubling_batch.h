#pragma once

#include <QtGlobal>

// How many rows the next batch of a long job takes. It starts small, so a
// short job goes much as row by row and an early failure costs little; it
// doubles after a batch that was quick and halves after one that was slow or
// failed, always within its bounds. A job whose batch blocks the window's
// thread (a staging statement) sizes it by time, so each stays short; one
// whose batch waits on the worker (the write) doubles whatever a batch took,
// halving only after a failure, which then costs fewer rows.
class DoublingBatch final {
public:
    struct Bounds {
        qint64 smallest;  // slow batches and failures halve it no further
        qint64 first;     // may be below smallest: a first row alone, say
        qint64 largest;
        qint64 quickMs;  // a batch that took less doubles the next
        qint64 slowMs;   // a batch that took more halves the next
    };

    explicit DoublingBatch(const Bounds& bounds);

    qint64 rows() const { return m_rows; }
    // A batch of rows() rows took this long.
    void took(qint64 milliseconds);
    void failed();

private:
    Bounds m_bounds;
    qint64 m_rows;
};
