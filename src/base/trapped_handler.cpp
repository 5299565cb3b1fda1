#include "base/trapped_handler.h"

#include <QLoggingCategory>

#include "base/dialogs.h"
#include "base/error_message.h"
#include "base/failure.h"
#include "base/failure_description.h"
#include "base/failure_details.h"
#include "base/run_context.h"

TrappedHandler::TrappedHandler(QString location, Dialogs& dialogs, RunContext* context)
    : m_location(std::move(location)), m_dialogs(dialogs), m_context(context) {}

namespace {
Q_LOGGING_CATEGORY(lcBase, "quillmere.base", QtInfoMsg)

// Whatever failed: its description, as the platform words it, and its details.
struct Caught {
    QString description;
    QString details;
    std::exception_ptr failure;
};

template <typename Action>
std::optional<Caught> failureOf(const Action& action) {
    try {
        action();
        return std::nullopt;
    } catch (const std::exception& error) {
        return Caught{FailureDescription(error), FailureDetails(error), std::current_exception()};
    }
}
}  // namespace

bool TrappedHandler::runReporting(int line, const std::function<void()>& action) {
    // Once the program is ending, nothing more is done behind its windows.
    if (m_context && m_context->abandoned()) m_abandoned = true;
    if (m_abandoned) return true;
    if (m_context) m_context->stepStarted(line);
    std::optional<Caught> failure;
    try {
        failure = failureOf(action);
    } catch (const RunAbandoned&) {
        m_abandoned = true;
        return true;
    }
    if (!failure) return false;
    report(failure->description, line, failure->details, failure->failure);
    return true;
}

void TrappedHandler::step(int line, const std::function<void()>& action) {
    runReporting(line, action);
}

bool TrappedHandler::test(int line, const std::function<bool()>& condition) {
    bool result = true;
    runReporting(line, [&] { result = condition(); });
    return result && !m_abandoned;
}

std::optional<QString> TrappedHandler::ownHandling(const std::function<void()>& lines) {
    if (m_context && m_context->abandoned()) m_abandoned = true;
    if (m_abandoned) return std::nullopt;
    try {
        if (const std::optional<Caught> failure = failureOf(lines)) return failure->details;
        return std::nullopt;
    } catch (const RunAbandoned&) {
        m_abandoned = true;
        return std::nullopt;
    }
}

void TrappedHandler::report(const QString& description, int line, const QString& details,
                            std::exception_ptr failure) {
    const QString text = ErrorMessage(description, m_location, line);
    // A failure once the program is ending (a call cut short by the close)
    // is part of the ending: no box keeps the program from it.
    if (m_context && m_context->abandoned()) {
        m_abandoned = true;
        qCInfo(lcBase).noquote() << "while ending:" << text;
        return;
    }
    // Kept before the box opens, so the text stays when the box is closed
    // unread, or never closes.
    qCWarning(lcBase).noquote() << "error box:" << text;
    m_dialogs.errorBox(ErrorBox{text, description, details, line, std::move(failure)});
}
