#include "oracle/list_table_fields.h"

#include "base/error_message.h"
#include "base/pointer_state.h"
#include "base/trapped_handler.h"
#include "db/connection.h"
#include "db/quoted_names.h"
#include "oracle/name_list.h"
#include "oracle/oracle_connection_string.h"
#include "oracle/oracle_lines.h"

QStringList TableFieldNames(const OracleLogin& login, const QString& table) {
    db::Connection connection;
    connection.setMode(db::Mode::ReadWrite);
    connection.open(OracleConnectionString(login));
    return TableFieldNames(connection, table);
}

QStringList TableFieldNames(db::Connection& connection, const QString& table) {
    // The driver's column catalogue would take "_" and "%" in the name as
    // wildcards; an empty query names exactly this table's columns.
    db::ResultSet result = connection.query(QStringLiteral("SELECT * FROM ") + OracleName(table) +
                                            QStringLiteral(" WHERE 1=0"));
    return result.fieldNames();
}

namespace {
// The hourglass goes whichever way the listing ends, before any error box.
class HourglassScope final {
public:
    explicit HourglassScope(WindowPointer& pointer) : m_pointer(pointer) {
        m_pointer.setPointerState(PointerState::Hourglass);
    }
    ~HourglassScope() { m_pointer.setPointerState(PointerState::Default); }
    HourglassScope(const HourglassScope&) = delete;
    HourglassScope& operator=(const HourglassScope&) = delete;

private:
    WindowPointer& m_pointer;
};
}  // namespace

void ListTableFields(const QString& clickHandler, const OracleLogin& login, const QString& table,
                     NameList& fieldList, WindowPointer& pointer, Dialogs& dialogs) {
    TrappedHandler handler(LocationText(QStringLiteral("Form2"), clickHandler), dialogs);
    handler.step(ListFieldsLine::ListFields, [&] {
        const HourglassScope hourglass(pointer);
        // Emptied before anything can fail, so the list never shows the fields
        // of a table other than the one selected beside it.
        fieldList.clearEntries();
        for (const QString& name : TableFieldNames(login, table)) fieldList.addEntry(name);
    });
}
