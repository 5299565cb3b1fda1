#pragma once

#include <chrono>
#include <optional>

// Thrown at a yield once the program is ending: the running operation stops
// there. It is no failure: trapped handlers end on it without an error box.
struct RunAbandoned {};

// What a long operation needs from whoever started it: a chance to let the
// windows work (repaint, take input), a place to report its progress, and
// whether the program is ending. Passed down from the top, so the logic below
// never calls the event loop itself and runs headless just as well.
class RunContext {
public:
    virtual ~RunContext() = default;

    // Called as often as the work likes (per row, per value); cheap when there
    // is nothing to do. Throws RunAbandoned once the program is ending.
    virtual void yield() = 0;
    // The run's progress, 0 to 100.
    virtual void setProgress(int value) = 0;
    // True once the program is ending: nothing more is to be done.
    virtual bool abandoned() const = 0;
    // A trapped handler begins its numbered line: where the run is, for those
    // who watch it (a benchmark names its phases by them).
    virtual void stepStarted(int /*line*/) {}
    // The run waits on one call to the database server (connecting, a query,
    // a fetch): the window cannot be served until it returns. For those who
    // watch the run; neither may throw.
    virtual void serverCallStarted() {}
    virtual void serverCallEnded() {}
    // Whether such a call is to run on a worker thread while this one keeps
    // yielding: a context with a window to serve says so. Others keep every
    // call on their own thread, with their yields where the work makes them.
    virtual bool servesWhileWaiting() const { return false; }
    // Once the program is ending, the moment after which a call to the
    // server that has not returned is given up: the program then ends
    // without it (see ServeWhileWaiting). None while it is not ending, and
    // for a context that waits for every call.
    virtual std::optional<std::chrono::steady_clock::time_point> giveUpAt() const {
        return std::nullopt;
    }
    // The exit code the program ends with when such a call is given up: a
    // closed window is an ordinary end, an interrupted command is not.
    virtual int givenUpExitCode() const { return 0; }
};
