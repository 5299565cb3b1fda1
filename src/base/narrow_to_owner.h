#pragma once

#include <QString>

// Takes the group's and others' rights away from a file or folder that is
// there, keeping the owner's; never widens a right. Only a regular file or a
// folder that the user owns is narrowed: a symbolic link is never followed,
// and what belongs to someone else keeps its rights.
void NarrowToOwner(const QString& path);
