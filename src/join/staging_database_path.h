#pragma once

#include <QString>

// Where the staging file temp.mdb lives: in the program folder, or, when that
// folder cannot be written or the program is installed (ProgramInstalled, so
// also for root), in the user's own data folder "quillmere" under
// $XDG_DATA_HOME (~/.local/share when that is not an absolute path). The data
// folder and any level above it that is missing are made for the owner alone;
// one that is there keeps its rights. Throws Failure, naming the folder, when
// the data folder is a symbolic link or belongs to another user, and when
// neither XDG_DATA_HOME nor HOME is an absolute path.
QString StagingDatabasePath(const QString& programFolder);
