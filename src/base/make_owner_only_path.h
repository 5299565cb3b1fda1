#pragma once

#include <QString>

// Makes the folder and every level above it that is missing, each for its
// owner alone. Levels already there keep their rights. Never throws: a folder
// that cannot be made shows up as its user's own failure.
void MakeOwnerOnlyPath(const QString& folder);
