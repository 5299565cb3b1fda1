#pragma once

#include <QString>

#include "oracle/oracle_login.h"

// What one join run works with, read from the windows once at its start, so
// clicks during the run cannot change it under the run.
struct JoinChoice {
    QString table1;
    QString field1;
    QString table2;
    QString field2;
    QString suffix;
    OracleLogin login;
};
