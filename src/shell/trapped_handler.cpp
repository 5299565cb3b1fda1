#include "shell/trapped_handler.h"

#include "shell/dialogs.h"
#include "shell/error_message.h"
#include "shell/failure.h"

TrappedHandler::TrappedHandler(QString location, Dialogs& dialogs)
    : m_location(std::move(location)), m_dialogs(dialogs) {}

namespace {
// The description of whatever failed, as the platform words it.
template <typename Action>
bool failureDescription(const Action& action, QString& description) {
    try {
        action();
        return false;
    } catch (const Failure& failure) {
        description = failure.description();
    } catch (const std::bad_alloc&) {
        description = QStringLiteral("Out of memory");
    } catch (const std::exception& error) {
        description = QString::fromLocal8Bit(error.what());
    }
    return true;
}
}  // namespace

bool TrappedHandler::runReporting(int line, const std::function<void()>& action) {
    m_line = line;
    QString description;
    if (!failureDescription(action, description)) return false;
    report(description, line);
    return true;
}

void TrappedHandler::step(int line, const std::function<void()>& action) { runReporting(line, action); }

bool TrappedHandler::test(int line, const std::function<bool()>& condition) {
    bool result = true;
    runReporting(line, [&] { result = condition(); });
    return result;
}

bool TrappedHandler::ownHandling(const std::function<void()>& lines) {
    QString description;
    return failureDescription(lines, description);
}

void TrappedHandler::report(const QString& description, int line) {
    m_dialogs.message(ErrorMessage(description, m_location, line), QStringLiteral("Application Error"),
                      Dialogs::Icon::Warning);
}
