#pragma once

#include <QString>

// Takes the group's and others' rights away from a file or folder that is
// there, keeping the owner's; never widens a right.
void NarrowToOwner(const QString& path);
