#pragma once

#include <QString>

// "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=<path>;JET OLEDB:Database Password="
// A path holding ";" or braces is written in braces, so the Data Source is
// never cut short and another file opened.
QString StagingConnectionString(const QString& path);
