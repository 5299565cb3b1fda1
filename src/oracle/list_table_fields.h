#pragma once

#include <QString>
#include <QStringList>

#include "oracle/oracle_login.h"

namespace db {
class Connection;
}
class Dialogs;
class NameList;
class WindowPointer;

// The field names of a table in its column order. The names come from a query
// that returns no rows, so none of the table's rows is read; the name is
// quoted exactly, so its case, blanks and quotes name this table only.
QStringList TableFieldNames(const OracleLogin& login, const QString& table);
// The same on an open connection.
QStringList TableFieldNames(db::Connection& connection, const QString& table);

// A click on a table list of the join set-up window (clickHandler "List1_Click"
// or "List3_Click"): the field list beside it is emptied and shows the table's
// fields, with the hourglass meanwhile. A failure leaves the field list empty,
// resets the pointer and is reported in the error box at ListFieldsLine::ListFields.
void ListTableFields(const QString& clickHandler, const OracleLogin& login, const QString& table,
                     NameList& fieldList, WindowPointer& pointer, Dialogs& dialogs);
