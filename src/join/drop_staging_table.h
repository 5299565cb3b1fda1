#pragma once

#include <QString>

// Drops the staging table when it is there. A failure to open the staging
// file travels to the caller; a failure of the drop itself (most often: no
// such table) is ignored.
void DropStagingTable(const QString& table, const QString& path);
