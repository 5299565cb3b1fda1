#pragma once

#include <QString>

// Makes the file, empty and readable and writable by its owner alone, when
// nothing is at the path yet, so that what is written into it later is never
// on disk with wider rights. Never through a link and never over a file made
// meanwhile; never throws: a file that cannot be made shows up as its user's
// own failure to open it.
void CreateOwnerOnlyFile(const QString& path);
