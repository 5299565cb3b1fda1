#pragma once

#include <QString>

// Where the staging file temp.mdb lives: in the program folder, or, when that
// folder cannot be written (an installed program), in the user's own data
// folder, which is created when missing.
QString StagingDatabasePath(const QString& programFolder);
