// The join engine's tests: the staging database and the table copy, then
// whole join runs, headless.
#include <QCoreApplication>

#include "oracle/client_character_set.h"
#include "support/private_home.h"

int runStagingTests(int argc, char** argv);
int runJoinRunTests(int argc, char** argv);

int main(int argc, char** argv) {
    UsePrivateHome();
    QCoreApplication app(argc, argv);
    // The client's character set as the program chooses it at its start.
    ChooseClientCharacterSet();
    const int staging = runStagingTests(argc, argv);
    const int joinRun = runJoinRunTests(argc, argv);
    return staging + joinRun;
}
