#pragma once

#include <QString>
#include <functional>

#include "oracle/oracle_login.h"

class RunContext;

// Hands the name of every table the login owns to addEntry, as the database
// returns it, yielding to the run context before each row. addEntry
// returns false once its list takes no more entries (a newer fill replaced
// this one); the listing stops there. Failures travel to the caller.
void ListOracleTables(const OracleLogin& login, const std::function<bool(const QString&)>& addEntry,
                      RunContext& context);
