#pragma once

#include <QString>

// The staging copies of the first and the second chosen table, which the
// join reads and the run's checks name.
inline QString StagingCopy1() { return QStringLiteral("Table1"); }
inline QString StagingCopy2() { return QStringLiteral("Table2"); }
