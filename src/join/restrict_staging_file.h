#pragma once

#include <QString>

// The staging file holds whole copies of the user's tables, so it is readable
// and writable by its owner alone. Makes the file, empty and owner-only, when
// it is missing, so that SQLite opens an existing file and gives its -wal,
// -shm and -journal companions the same mode; takes the group's and others'
// rights away from the file and from any companion already there that the
// user owns. Never widens a right. Throws Failure, naming the path, when a
// symbolic link stands at the file's path or a companion's; otherwise a file
// that cannot be made shows up as the staging open's own failure.
void RestrictStagingFile(const QString& path);
