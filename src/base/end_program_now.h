#pragma once

#include <functional>

// Ending the program while a call to the server never returns. Such a call
// uses buffers and handles of the frames below it, so nothing may unwind or
// be destroyed under it: the process ends where it stands. What must not be
// skipped even then (a lock file given up, a summary logged) is registered
// by whoever holds it, for as long as it holds it. The window's thread alone
// registers and ends.

// Says the last words registered, the newest first, and ends the process
// with exitCode, running no destructor and joining no thread.
[[noreturn]] void EndProgramNow(int exitCode);

class LastWords final {
public:
    explicit LastWords(std::function<void()> words);
    ~LastWords();
    LastWords(const LastWords&) = delete;
    LastWords& operator=(const LastWords&) = delete;

private:
    friend void EndProgramNow(int exitCode);
    std::function<void()> m_words;
};
