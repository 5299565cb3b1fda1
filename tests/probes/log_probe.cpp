// Installs the log at the path given, sends one message, and ends; a static
// made before the log's own state sends another while statics are destroyed.
#include <QtGlobal>

#include "base/log_file.h"

namespace {
struct MessageWhileEnding {
    bool armed = false;
    ~MessageWhileEnding() {
        if (armed) qWarning("while statics are destroyed");
    }
};
MessageWhileEnding whileEnding;
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    whileEnding.armed = true;
    InstallLogFile(QString::fromLocal8Bit(argv[1]));
    qWarning("while the program runs");
    return 0;
}
