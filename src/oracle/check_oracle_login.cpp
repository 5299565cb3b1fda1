#include "oracle/check_oracle_login.h"

#include "base/failure.h"
#include "db/connection.h"
#include "oracle/oracle_connection_string.h"

bool CheckOracleLogin(const OracleLogin& login) {
    db::Connection connection;
    try {
        connection.setConnectionString(OracleConnectionString(login));
        connection.open();
        return true;
    } catch (const Failure&) {
        return false;
    }
}
