#pragma once

#include <QString>

// Where the staging file temp.mdb lives: in the program folder, or, when that
// folder cannot be written or the program is installed (ProgramInstalled, so
// also for root), in the user's own data folder. That folder and any level
// above it that is missing are made for the owner alone, and the folder loses
// rights wider than the owner's.
QString StagingDatabasePath(const QString& programFolder);
