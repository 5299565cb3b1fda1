#pragma once

#include <QElapsedTimer>
#include <functional>

#include "base/run_context.h"

// The run context of the running program: a yield processes the pending
// events of Qt's event loop, at most every few milliseconds, so the cost per
// call is a clock read. Needs Qt Core only, so a headless program can drive a
// real run with it.
class EventLoopRunContext final : public RunContext {
public:
    explicit EventLoopRunContext(std::function<void(int)> progress = {});

    void yield() override;
    void setProgress(int value) override;
    bool abandoned() const override { return m_abandoned; }
    bool servesWhileWaiting() const override { return true; }
    std::optional<std::chrono::steady_clock::time_point> giveUpAt() const override;

    // Where progress goes from now on.
    void setProgressSink(std::function<void(int)> progress) { m_progress = std::move(progress); }
    // The program is ending (a window was closed): every yield from now on
    // abandons its operation, and a call to the server still running is
    // given up GiveUpAfter after the first abandon.
    void abandon();

    // Long enough for a server to answer a cancelled call, short enough for
    // the program to end within 3 seconds of the close.
    static constexpr std::chrono::milliseconds GiveUpAfter{1500};

private:
    std::function<void(int)> m_progress;
    QElapsedTimer m_sinceLast;
    bool m_abandoned = false;
    std::chrono::steady_clock::time_point m_abandonedAt;
};
