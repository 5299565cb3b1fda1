#pragma once

#include <QStringList>

#include "base/pointer_state.h"
#include "join/join_window.h"

// The join set-up window as the join command shows it to the run: the
// choices from the command line, and the table list as the command found it.
class ConsoleJoinWindow final : public JoinWindow {
public:
    struct Choice {
        QString table1, field1, table2, field2, suffix;
        OracleLogin login;
    };

    ConsoleJoinWindow(Choice choice, QStringList tables)
        : m_choice(std::move(choice)), m_list1(tables), m_list3(std::move(tables)) {}

    std::optional<QString> selectedTable1() const override { return m_choice.table1; }
    std::optional<QString> selectedField1() const override { return m_choice.field1; }
    std::optional<QString> selectedTable2() const override { return m_choice.table2; }
    std::optional<QString> selectedField2() const override { return m_choice.field2; }
    QString suffix() const override { return m_choice.suffix; }
    OracleLogin login() const override { return m_choice.login; }

    QStringList tableListEntries(TableList list) const override {
        return list == TableList::First ? m_list1 : m_list3;
    }
    void removeTableListEntry(TableList list, int index) override {
        (list == TableList::First ? m_list1 : m_list3).removeAt(index);
    }
    void addTableListEntry(TableList list, const QString& name) override {
        (list == TableList::First ? m_list1 : m_list3).append(name);
    }
    WindowPointer& pointer() override { return m_pointer; }
    void setJoinRunning(bool running) override { m_running = running; }
    bool joinRunning() const override { return m_running; }

private:
    Choice m_choice;
    QStringList m_list1, m_list3;
    RememberedPointer m_pointer;
    bool m_running = false;
};
