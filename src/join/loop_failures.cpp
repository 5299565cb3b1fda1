#include "join/loop_failures.h"

#include "base/failure_description.h"
#include "base/trapped_handler.h"
#include "db/db_error.h"

LoopFailures::LoopFailures(TrappedHandler& handler, int line, Ends ends)
    : m_handler(handler), m_line(line), m_ends(ends) {}

bool LoopFailures::run(const std::function<void()>& action) {
    QString description;
    bool brokenConnection = false;
    try {
        action();
        return true;
    } catch (const DbError& error) {
        description = error.description();
        brokenConnection = error.connectionLost();
    } catch (const std::exception& error) {
        description = FailureDescription(error);
    }
    if (!m_shownAny || brokenConnection) {
        m_handler.report(description, m_line);
        m_shownAny = true;
    }
    return m_ends == Ends::OnBrokenConnection && !brokenConnection;
}
