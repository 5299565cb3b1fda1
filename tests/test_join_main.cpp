// The join engine's tests: the staging database and the table copy, then
// whole join runs, headless.
#include <QCoreApplication>

int runStagingTests(int argc, char** argv);
int runJoinRunTests(int argc, char** argv);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int staging = runStagingTests(argc, argv);
    const int joinRun = runJoinRunTests(argc, argv);
    return staging + joinRun;
}
