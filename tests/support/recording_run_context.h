#pragma once

#include <QList>
#include <functional>

#include "base/run_context.h"

// A run context for headless runs: progress is recorded as a progress bar
// would show it (each change once), and the test may end the run as closing
// a window would.
class RecordingRunContext final : public RunContext {
public:
    void yield() override {
        if (onYield) onYield();
        if (m_abandoned) throw RunAbandoned{};
    }
    void setProgress(int value) override {
        if (value != m_value) progress << value;
        m_value = value;
    }
    bool abandoned() const override { return m_abandoned; }
    void stepStarted(int line) override {
        if (onStep) onStep(line);
    }
    void serverCallStarted() override {
        ++serverCalls;
        if (onServerCall) onServerCall();
    }
    bool servesWhileWaiting() const override { return serves; }
    void abandon() { m_abandoned = true; }

    // As a window's context: driver calls and checkpoints run on the worker.
    bool serves = false;
    QList<int> progress;
    int serverCalls = 0;
    std::function<void()> onServerCall;  // must not throw
    std::function<void()> onYield;
    std::function<void(int)> onStep;

private:
    int m_value = 0;
    bool m_abandoned = false;
};
