#include "join/loop_failures.h"

#include "base/failure_description.h"
#include "base/failure_details.h"
#include "base/trapped_handler.h"
#include "db/db_error.h"

LoopFailures::LoopFailures(TrappedHandler& handler, int line, Ends ends)
    : m_handler(handler), m_line(line), m_ends(ends) {}

bool LoopFailures::run(const std::function<void()>& action) {
    QString description;
    QString details;
    std::exception_ptr failure;
    bool brokenConnection = false;
    try {
        action();
        return true;
    } catch (const DbError& error) {
        description = error.description();
        details = FailureDetails(error);
        failure = std::current_exception();
        brokenConnection = error.connectionLost();
    } catch (const std::exception& error) {
        description = FailureDescription(error);
        details = FailureDetails(error);
        failure = std::current_exception();
    }
    if (!m_shownAny || brokenConnection) {
        m_handler.report(description, m_line, details, failure);
        m_shownAny = true;
    }
    return m_ends == Ends::OnBrokenConnection && !brokenConnection;
}
