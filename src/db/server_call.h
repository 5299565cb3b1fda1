#pragma once

// Which driver calls the run waits on as calls to the server, and where
// they run: on a worker thread while a window is served (callServer).
#include <functional>

#include "base/run_context.h"
#include "base/serve_while_waiting.h"
#include "db/odbc_support.h"

namespace db {
namespace odbc {

// While it lives, the run waits on one driver call to the server: the run
// context of the handle's connection hears of it before and after. The
// hooks must not throw; whatever one throws anyway is dropped, as the
// driver's call goes on regardless.
class ServerCall final {
public:
    explicit ServerCall(const Handle& handle) noexcept;
    ~ServerCall();
    ServerCall(const ServerCall&) = delete;
    ServerCall& operator=(const ServerCall&) = delete;

private:
    RunContext* m_context;
};

// Whether the program's end may stop a call with SQLCancel: any call on a
// statement but the one that frees it, which the cancel would outlive.
enum class Cancellable { Yes, No };

// One driver call to the server, inside a ServerCall. With a run context
// that serves a window, the call runs on a worker thread meanwhile, so a
// slow server (a commit waiting for its log, a query being planned) never
// freezes the window. Calls on one handle still come one after the other.
// When the window closes meanwhile, a call on a statement is cancelled from
// a thread of its own, SQLCancel being the one call meant to reach a
// statement while another thread is in it.
//
// Made on a worker's thread (a handle freed by rows written beside the
// caller), the call is part of the one handed over there: it runs at once,
// and the run context, which that one keeps, hears nothing of it.
//
// The cancel may be one of the caller's own (one that leaves a commit be).
template <typename Call>
SQLRETURN callServer(const Handle& handle, Call&& call, const std::function<void()>& cancel) {
    if (OnWorkerThread()) return call();
    const ServerCall watched(handle);
    RunContext* context = handle.runContext();
    if (!context || !context->servesWhileWaiting()) return call();
    SQLRETURN rc = SQL_ERROR;
    const std::function<void()> work = [&] { rc = call(); };
    ServeWhileWaiting(*context, work, cancel);
    return rc;
}

template <typename Call>
SQLRETURN callServer(const Handle& handle, Call&& call,
                     Cancellable cancellable = Cancellable::Yes) {
    std::function<void()> cancel;
    if (cancellable == Cancellable::Yes && handle.type() == SQL_HANDLE_STMT)
        cancel = [&handle] { SQLCancel(handle.get()); };
    return callServer(handle, std::forward<Call>(call), cancel);
}

}  // namespace odbc
}  // namespace db
