#pragma once

#include <functional>

class RunContext;

// Runs work on a worker thread while this thread keeps yielding to the
// context, so that a call that waits on a server (a commit, a slow query,
// parting from the server) leaves the window answering. Returns once work
// has returned; rethrows what work threw. Never throws for the context: once
// a yield abandons the run, it asks the work in flight to stop (cancel, from
// this thread) and waits without serving, and the run's next yield of its
// own ends it. A work that has not returned by the context's giveUpAt() is
// never waited for: the program ends there (EndProgramNow). Safe in
// destructors.
void ServeWhileWaiting(RunContext& context, const std::function<void()>& work,
                       const std::function<void()>& cancel = {});
