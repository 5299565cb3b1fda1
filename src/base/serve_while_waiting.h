#pragma once

#include <functional>

class RunContext;

// Runs work on a worker thread while this thread keeps yielding to the
// context, so that a call that waits on a server (a commit, a slow query,
// parting from the server) leaves the window answering. Returns once work
// has returned; rethrows what work threw. Never throws for the context: once
// a yield abandons the run, it waits without serving, and the run's next
// yield of its own ends it. Safe in destructors.
void ServeWhileWaiting(RunContext& context, const std::function<void()>& work);
