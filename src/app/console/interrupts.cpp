#include "app/console/interrupts.h"

#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <csignal>

#include "app/console/exit_codes.h"

namespace {

// Only lock-free atomics and async-signal-safe calls are used in the handler.
std::atomic<bool> runArmed{false};
std::atomic<bool> interrupted{false};
std::atomic<bool> echoIsOff{false};
struct termios savedTerminal {};

static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onInterrupt(int) {
    if (runArmed.load()) {
        interrupted.store(true);
        return;
    }
    if (echoIsOff.load()) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
        const char lineBreak = '\n';
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, &lineBreak, 1);
    }
    ::_exit(ExitCode::Interrupted);
}

}  // namespace

namespace Interrupts {

void install() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

void setRunArmed(bool armed) { runArmed.store(armed); }

bool requested() { return interrupted.load(); }

void echoOff() {
    if (::tcgetattr(STDIN_FILENO, &savedTerminal) != 0) return;
    struct termios quiet = savedTerminal;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    echoIsOff.store(true);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
}

void echoBack() {
    if (!echoIsOff.exchange(false)) return;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
}

}  // namespace Interrupts
