#pragma once

#include <functional>

#include "base/trapped_handler.h"

// Runs one numbered step of the handler, reported as every step is; true
// only when it ran to its end. Steps whose later steps could not work
// without them use it to end the run there.
inline bool StepSucceeded(TrappedHandler& handler, int line, const std::function<void()>& action) {
    bool succeeded = false;
    handler.step(line, [&] {
        action();
        succeeded = true;
    });
    return succeeded;
}
