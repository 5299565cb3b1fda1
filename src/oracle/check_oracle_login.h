#pragma once

#include "oracle/oracle_login.h"

// True when a connection opens with the login; shows nothing.
bool CheckOracleLogin(const OracleLogin& login);
