#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace bench {

// A tool run to its end: the floors of the join and of the writing are the
// sqlite3 shell's and psql's own runs.
struct Command {
    QString program;
    QStringList arguments;
    QString standardInputFile = QString();  // empty: no input
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

// Seconds from the tool's start to its exit, spawning included, as a user
// running it would see. A tool that fails throws with what it wrote to stderr.
double RunTimed(const Command& command);

// What the tool wrote to stdout, trimmed.
QString RunForOutput(const Command& command);

}  // namespace bench
