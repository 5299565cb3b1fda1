#pragma once

#include "oracle/oracle_login.h"

// The longest SID, user name or password handed to the driver: the driver
// crashes on values of some 32,700 characters instead of failing.
constexpr qsizetype MaxLoginValueLength = 8000;

// "Driver={Microsoft ODBC for Oracle};Server=<SID>;Uid=<user>;Pwd=<password>;"
// Values are written as typed; only one holding ";", "{" or "}" is put in
// braces, since the driver would otherwise cut it at the ";". Every Oracle
// connection is opened with this text, so a value longer than
// MaxLoginValueLength fails here, as Failure "The login is too long.". The
// login's driver options, when it has any, follow at the end.
QString OracleConnectionString(const OracleLogin& login);
