#include "base/serve_while_waiting.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "base/run_context.h"

namespace {

// Well under the yields' own interval, so a call that ends soon costs little
// more than itself.
constexpr std::chrono::milliseconds PollInterval{2};

// One call handed to the worker, and what became of it.
struct Task {
    const std::function<void()>* work = nullptr;
    bool done = false;
    std::exception_ptr failure;
};

// One thread for the whole program, so a call costs a hand-over rather than
// a thread's start. It runs one task at a time.
class Worker final {
public:
    Worker() : m_thread([this] { loop(); }) {}
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

    void run(RunContext& context, Task& task) {
        std::unique_lock lock(m_mutex);
        // A call made from a yield inside another's wait takes its turn.
        m_changed.wait(lock, [&] { return m_task == nullptr; });
        m_task = &task;
        m_changed.notify_all();
        bool serving = true;
        while (!m_changed.wait_for(lock, PollInterval, [&] { return task.done; })) {
            if (!serving) continue;
            lock.unlock();
            try {
                context.yield();
            } catch (...) {
                // The run is being abandoned; the call must end first.
                serving = false;
            }
            lock.lock();
        }
    }

private:
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
    Task* m_task = nullptr;
    bool m_stopping = false;
    std::thread m_thread;
};

}  // namespace

void ServeWhileWaiting(RunContext& context, const std::function<void()>& work) {
    static Worker worker;
    Task task;
    task.work = &work;
    worker.run(context, task);
    if (task.failure) std::rethrow_exception(task.failure);
}
