#pragma once

#include <QStringList>

#include "base/pointer_state.h"
#include "join/join_window.h"

// The join set-up window as the join run sees it, without widgets: the
// choices are plain values, the table lists plain sorted lists.
class TestJoinWindow final : public JoinWindow {
public:
    std::optional<QString> selectedTable1() const override { return table1; }
    std::optional<QString> selectedField1() const override { return field1; }
    std::optional<QString> selectedTable2() const override { return table2; }
    std::optional<QString> selectedField2() const override { return field2; }
    QString suffix() const override { return suffixText; }
    OracleLogin login() const override { return oracleLogin; }

    QStringList tableListEntries(TableList list) const override { return entries(list); }
    void removeTableListEntry(TableList list, int index) override { entries(list).removeAt(index); }
    // Sorted as the window's lists sort: case ignored, after equal entries.
    void addTableListEntry(TableList list, const QString& name) override {
        QStringList& target = entries(list);
        qsizetype at = 0;
        while (at < target.size() &&
               QString::compare(target.at(at), name, Qt::CaseInsensitive) <= 0)
            ++at;
        target.insert(at, name);
    }
    WindowPointer& pointer() override { return m_pointer; }
    void setJoinRunning(bool running) override { m_running = running; }
    bool joinRunning() const override { return m_running; }

    std::optional<QString> table1, field1, table2, field2;
    QString suffixText = QStringLiteral("1");
    OracleLogin oracleLogin;
    QStringList list1, list3;

private:
    QStringList& entries(TableList list) { return list == TableList::First ? list1 : list3; }
    const QStringList& entries(TableList list) const {
        return list == TableList::First ? list1 : list3;
    }

    RememberedPointer m_pointer;
    bool m_running = false;
};
