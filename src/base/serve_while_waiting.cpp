#include "base/serve_while_waiting.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "base/end_program_now.h"
#include "base/run_context.h"

namespace {

// Well under the yields' own interval, so a call that ends soon costs little
// more than itself.
constexpr std::chrono::milliseconds PollInterval{2};

// Set on the threads that run work handed over, and on the cancellers.
thread_local bool t_onWorkerThread = false;

// One call handed to the worker, and what became of it.
struct Task {
    const std::function<void()>* work = nullptr;
    // Asks the work to stop; may be empty.
    const std::function<void()>* cancel = nullptr;
    bool cancelAsked = false;
    bool cancelDone = false;
    bool done = false;
    std::exception_ptr failure;
    // Asks the work to stop (see cancelInFlight).
    std::thread canceller;

    // The work has returned, and so has the cancel it was given, if any.
    bool finished() const { return done && (!cancelAsked || cancelDone); }
    // Once finished: the canceller has nothing left to do.
    void joinCanceller() {
        if (canceller.joinable()) canceller.join();
    }
};

// One thread for the whole program, so a call costs a hand-over rather than
// a thread's start. It runs one task at a time.
class Worker final {
public:
    Worker()
        : m_thread([this] {
              t_onWorkerThread = true;
              loop();
          }) {}
    ~Worker() {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // What a yield threw besides RunAbandoned, for the caller to rethrow.
    void run(RunContext& context, Task& task, std::exception_ptr& yieldFailure) {
        std::unique_lock lock(m_mutex);
        bool serving = true;
        // A call made from a yield inside another's wait takes its turn.
        waitServing(lock, context, serving, [&] { return m_task == nullptr; });
        m_task = &task;
        m_changed.notify_all();
        waitServing(lock, context, serving, [&] { return task.finished(); });
        yieldFailure = std::exchange(m_yieldFailure, nullptr);
        task.joinCanceller();
    }

    // Hands task to a worker that runs nothing else, and returns.
    void start(Task& task) {
        const std::lock_guard lock(m_mutex);
        m_task = &task;
        m_changed.notify_all();
    }

    // Waits until the started task has ended: serving the context, if any,
    // from the first yield on or, with stopFirst, only after asking the task
    // to stop.
    void wait(RunContext* context, Task& task, std::exception_ptr& yieldFailure, bool stopFirst) {
        std::unique_lock lock(m_mutex);
        if (stopFirst) cancelInFlight(lock);
        if (!context) {
            m_changed.wait(lock, [&] { return task.finished(); });
        } else {
            bool serving = true;
            waitServing(lock, *context, serving, [&] { return task.finished(); });
            yieldFailure = std::exchange(m_yieldFailure, nullptr);
        }
        task.joinCanceller();
    }

private:
    // Waits until ready() holds, yielding to the context meanwhile. Once a
    // yield abandons the run, the call in flight is asked to stop, and one
    // that has not ended by the context's giveUpAt() ends the program: its
    // buffers lie in the frames below, so nothing may unwind under it.
    template <typename Ready>
    void waitServing(std::unique_lock<std::mutex>& lock, RunContext& context, bool& serving,
                     Ready ready) {
        while (!m_changed.wait_for(lock, PollInterval, ready)) {
            if (serving) {
                lock.unlock();
                try {
                    context.yield();
                } catch (const RunAbandoned&) {
                    // The run is being abandoned; the call must end first.
                    serving = false;
                } catch (...) {
                    // Anything else a yield throws is the caller's, once the
                    // call has ended: nothing may unwind the frames under it.
                    if (!m_yieldFailure) m_yieldFailure = std::current_exception();
                    serving = false;
                }
                lock.lock();
                continue;
            }
            cancelInFlight(lock);
            const auto giveUpAt = context.giveUpAt();
            if (giveUpAt && std::chrono::steady_clock::now() >= *giveUpAt) {
                lock.unlock();
                EndProgramNow(context.givenUpExitCode());
            }
        }
    }

    // Once per call, on a thread of its own: a cancel may wait on the server
    // too (a frozen one), and this thread must still end the program at
    // giveUpAt(). The task stays valid meanwhile: its owner waits for the
    // cancel as for the work, even when the task is another call's.
    void cancelInFlight(std::unique_lock<std::mutex>& /*lock*/) {
        Task* task = m_task;
        if (!task || task->done || task->cancelAsked || !task->cancel || !*task->cancel) return;
        task->cancelAsked = true;
        task->canceller = std::thread([this, task] {
            t_onWorkerThread = true;
            (*task->cancel)();
            const std::lock_guard lock(m_mutex);
            task->cancelDone = true;
            m_changed.notify_all();
        });
    }

    void loop() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [&] { return m_stopping || (m_task && !m_task->done); });
            if (m_stopping) return;
            Task& task = *m_task;
            lock.unlock();
            try {
                (*task.work)();
            } catch (...) {
                task.failure = std::current_exception();
            }
            lock.lock();
            task.done = true;
            m_task = nullptr;
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::exception_ptr m_yieldFailure;  // of the wait on this thread's call
    Task* m_task = nullptr;
    bool m_stopping = false;
    std::thread m_thread;
};

}  // namespace

bool OnWorkerThread() { return t_onWorkerThread; }

void ServeWhileWaiting(RunContext& context, const std::function<void()>& work,
                       const std::function<void()>& cancel) {
    // Handed over from a worker, it would wait for itself on the program's
    // one worker, and yield from a thread that does not serve the window.
    if (t_onWorkerThread) {
        work();
        return;
    }
    static Worker worker;
    Task task;
    task.work = &work;
    task.cancel = &cancel;
    std::exception_ptr yieldFailure;
    worker.run(context, task, yieldFailure);
    if (yieldFailure) std::rethrow_exception(yieldFailure);
    if (task.failure) std::rethrow_exception(task.failure);
}

struct WorkAhead::State {
    // Made at the first start: most reads never need one.
    std::unique_ptr<Worker> worker;
    std::function<void()> work;
    std::function<void()> cancel;
    Task task;
    bool running = false;
};

WorkAhead::WorkAhead() : m_state(std::make_unique<State>()) {}

WorkAhead::~WorkAhead() { stop(nullptr); }

void WorkAhead::start(std::function<void()> work, std::function<void()> cancel) {
    State& state = *m_state;
    if (!state.worker) state.worker = std::make_unique<Worker>();
    state.work = std::move(work);
    state.cancel = std::move(cancel);
    state.task = Task{};
    state.task.work = &state.work;
    state.task.cancel = &state.cancel;
    state.running = true;
    state.worker->start(state.task);
}

bool WorkAhead::running() const { return m_state->running; }

void WorkAhead::wait(RunContext* context) {
    State& state = *m_state;
    if (!state.running) return;
    std::exception_ptr yieldFailure;
    state.worker->wait(t_onWorkerThread ? nullptr : context, state.task, yieldFailure, false);
    state.running = false;
    if (yieldFailure) std::rethrow_exception(yieldFailure);
    if (state.task.failure) std::rethrow_exception(std::exchange(state.task.failure, nullptr));
}

void WorkAhead::stop(RunContext* context) noexcept {
    State& state = *m_state;
    if (!state.running) return;
    // What the yields threw is dropped: the work's end is all that matters.
    std::exception_ptr yieldFailure;
    state.worker->wait(t_onWorkerThread ? nullptr : context, state.task, yieldFailure, true);
    state.running = false;
}
