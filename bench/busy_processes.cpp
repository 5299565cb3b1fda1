#include "busy_processes.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

#include "bench_error.h"

namespace bench {
namespace {

// The child of a process that may have threads: only async-signal-safe calls.
[[noreturn]] void spin(pid_t parent) {
    // Killed with the bench even when the bench is killed outright; a bench
    // that ended before this took effect has a new parent by now.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) _exit(0);
    // Holds none of the bench's pipes, sockets or files open behind its back.
    close_range(0, ~0U, 0);
    // Volatile, so the loop is work the compiler must keep.
    volatile unsigned long counter = 0;
    for (;;) counter = counter + 1;
}

}  // namespace

BusyProcesses::BusyProcesses(int count) {
    const pid_t parent = getpid();
    for (int i = 0; i < count; ++i) {
        const pid_t pid = fork();
        if (pid == 0) spin(parent);
        if (pid < 0) {
            const int error = errno;
            stop();
            throw BenchError(QStringLiteral("Could not start a busy process: ") +
                             QString::fromLocal8Bit(std::strerror(error)));
        }
        m_pids.push_back(pid);
    }
}

BusyProcesses::~BusyProcesses() { stop(); }

void BusyProcesses::stop() {
    for (const pid_t pid : m_pids) kill(pid, SIGKILL);
    // Reaped by their own ids only: the bench's other children are QProcess's.
    for (const pid_t pid : m_pids)
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    m_pids.clear();
}

double LoadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly)) return -1;
    bool ok = false;
    const double oneMinute = file.readLine().split(' ').value(0).toDouble(&ok);
    return ok ? oneMinute : -1;
}

}  // namespace bench
