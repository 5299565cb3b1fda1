#include "base/write_all.h"

#include <unistd.h>

#include <cerrno>

void WriteAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t done = ::write(fd, data, size_t(left));
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return;
        data += done;
        left -= done;
    }
}
