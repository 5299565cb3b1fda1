#pragma once

#include <functional>
#include <memory>

class RunContext;

// Runs work on a worker thread while this thread keeps yielding to the
// context, so that a call that waits on a server (a commit, a slow query,
// parting from the server) leaves the window answering. Returns once work
// has returned; rethrows what work threw. Never throws for the context: once
// a yield abandons the run, it asks the work in flight to stop (cancel, on a
// thread of its own) and waits without serving, for the work and the cancel,
// and the run's next yield of its own ends it. A work or cancel that has not
// returned by the context's giveUpAt() is never waited for: the program ends
// there (EndProgramNow). Safe in destructors. Only the thread that serves
// the window yields: called on a thread that runs work handed over (see
// OnWorkerThread), work runs there and then.
void ServeWhileWaiting(RunContext& context, const std::function<void()>& work,
                       const std::function<void()>& cancel = {});

// Whether this thread runs work handed over by ServeWhileWaiting or
// WorkAhead (a cancel included): a call made here is part of that work, and
// never yields to the window, which another thread serves meanwhile.
bool OnWorkerThread();

// Work begun on a thread of its own while this thread goes on with its own
// (the next block of rows fetched while the last one is stored), and waited
// for later as ServeWhileWaiting waits. One work at a time.
class WorkAhead final {
public:
    WorkAhead();
    // Stops the work still running, as stop(nullptr) does.
    ~WorkAhead();
    WorkAhead(const WorkAhead&) = delete;
    WorkAhead& operator=(const WorkAhead&) = delete;

    // Begins work; none may be running. cancel, if given, asks it to stop.
    void start(std::function<void()> work, std::function<void()> cancel = {});
    // Begun and not yet waited for.
    bool running() const;
    // Waits until the work has returned, yielding to the context (if any)
    // meanwhile just as ServeWhileWaiting does, and as it does never on a
    // worker's thread; rethrows what the work or a yield threw.
    void wait(RunContext* context);
    // Asks the work to stop and waits for it: yielding to the context, if
    // any, until the run is abandoned, and ending the program at its
    // giveUpAt(). Never throws, for a destructor.
    void stop(RunContext* context) noexcept;

private:
    struct State;
    std::unique_ptr<State> m_state;
};
