#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "oracle/oracle_login.h"

class WindowPointer;

// What the join run reads from and writes to the join set-up window.
class JoinWindow {
public:
    enum class TableList { First, Second };  // List1, List3

    virtual ~JoinWindow() = default;

    // The selected entries of List1, List2, List3 and List4; none without a selection.
    virtual std::optional<QString> selectedTable1() const = 0;
    virtual std::optional<QString> selectedField1() const = 0;
    virtual std::optional<QString> selectedTable2() const = 0;
    virtual std::optional<QString> selectedField2() const = 0;
    // The text of the suffix field (Text1 of the "Options" frame).
    virtual QString suffix() const = 0;
    // The login window's three fields as they stand.
    virtual OracleLogin login() const = 0;

    virtual QStringList tableListEntries(TableList list) const = 0;
    virtual void removeTableListEntry(TableList list, int index) = 0;
    virtual void addTableListEntry(TableList list, const QString& name) = 0;

    virtual WindowPointer& pointer() = 0;

    // While true, no second run starts and "< Back" and the table lists'
    // clicks do nothing, so nothing the run uses changes under it.
    virtual void setJoinRunning(bool running) = 0;
    virtual bool joinRunning() const = 0;
};
