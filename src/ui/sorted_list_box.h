#pragma once

#include <QListWidget>
#include <QStringList>
#include <optional>

#include "oracle/name_list.h"

// A single-selection list that keeps its entries in ascending order, case
// ignored, equal entries in the order they were added. It reports a "click"
// when the user moves the selection to an entry (mouse or keys) or clicks the
// selected entry again; changes made by the program (adding, removing,
// emptying) and the focus arriving by Tab are no click.
class SortedListBox final : public QListWidget, public NameList {
    Q_OBJECT

public:
    explicit SortedListBox(QWidget* parent = nullptr);

    void addEntry(const QString& name) override;
    void clearEntries() override;
    // Removing the selected entry leaves nothing selected; any other removal
    // keeps the selection where it was, frozen or not.
    void removeEntryAt(int index);

    QStringList entries() const;
    std::optional<QString> selectedEntry() const;

    // A frozen list keeps its selection against the user's clicks and keys.
    void setFrozen(bool frozen);
    bool frozen() const { return m_frozen; }

signals:
    void clickedByUser();

protected:
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QListWidgetItem* selectedItem() const;

    bool m_programChange = false;
    bool m_frozen = false;
};
