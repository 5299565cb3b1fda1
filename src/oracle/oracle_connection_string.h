#pragma once

#include "oracle/oracle_login.h"

// "Driver={Microsoft ODBC for Oracle};Server=<SID>;Uid=<user>;Pwd=<password>;"
// Values are written as typed; only one holding ";", "{" or "}" is put in
// braces, since the driver would otherwise cut it at the ";".
QString OracleConnectionString(const OracleLogin& login);
