#pragma once

#include <QString>
#include <exception>
#include <functional>
#include <optional>

class Dialogs;
class Failure;
class RunContext;

// A handler whose numbered steps never end it: a step that fails is reported
// in the error box with the handler's location and the step's line, and the
// handler goes on with its next step. When the program is ending (the run
// context says so, or a yield abandoned the work), every later step is
// skipped without a report.
class TrappedHandler final {
public:
    TrappedHandler(QString location, Dialogs& dialogs, RunContext* context = nullptr);

    // Runs one numbered step.
    void step(int line, const std::function<void()>& action);

    // The test of an if. A test that fails is reported and counts as passed,
    // so the steps it guards run.
    bool test(int line, const std::function<bool()>& condition);

    // Lines that hand failures to the handler's own handling: they run until
    // one fails. A failure that is pending gives its details (FailureDetails),
    // for the handler's own message to show.
    std::optional<QString> ownHandling(const std::function<void()>& lines);

    bool abandoned() const { return m_abandoned; }

    // Shows the error box for a failure at the given line, with the
    // failure's details (FailureDetails) behind its text, and hands the
    // failure itself to the dialogs beside them; none once the program is
    // ending.
    void report(const QString& description, int line, const QString& details,
                std::exception_ptr failure);

private:
    bool runReporting(int line, const std::function<void()>& action);

    QString m_location;
    Dialogs& m_dialogs;
    RunContext* m_context;
    bool m_abandoned = false;
};
