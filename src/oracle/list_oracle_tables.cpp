#include "oracle/list_oracle_tables.h"

#include "base/run_context.h"
#include "db/connection.h"
#include "oracle/oracle_connection_string.h"

void ListOracleTables(const OracleLogin& login, const std::function<bool(const QString&)>& addEntry,
                      RunContext& context) {
    db::Connection connection;
    connection.setCursorLocation(db::CursorLocation::Client);
    connection.open(OracleConnectionString(login));
    // user_tables holds the login's own tables only: no views, no synonyms,
    // nothing of other users.
    db::ResultSet tables = connection.query(QStringLiteral("select table_name from user_tables"));
    while (tables.next()) {
        context.yield();
        if (!addEntry(tables.value(0).value_or(QString()))) break;
    }
    tables.close();
    connection.close();
}
