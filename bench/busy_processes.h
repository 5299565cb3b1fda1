#pragma once

#include <sys/types.h>

#include <vector>

namespace bench {

// Processes that do nothing but spin on a core, as a browser or an IDE busy
// beside the program would, so the program and its floors share the machine
// with them alike. They go when the object goes or stop() is called, and the
// kernel ends them when the bench ends in any other way (a signal, a crash).
class BusyProcesses final {
public:
    explicit BusyProcesses(int count);
    ~BusyProcesses();
    BusyProcesses(const BusyProcesses&) = delete;
    BusyProcesses& operator=(const BusyProcesses&) = delete;

    void stop();

private:
    std::vector<pid_t> m_pids;
};

// The 1-minute load average of /proc/loadavg; negative when it cannot be read.
double LoadAverage();

}  // namespace bench
