#include "ui/sorted_list_box.h"

#include <QMouseEvent>

namespace {
// Sets a flag for the length of a scope, restoring what it was.
class FlagScope final {
public:
    explicit FlagScope(bool& flag) : m_flag(flag), m_old(flag) { m_flag = true; }
    ~FlagScope() { m_flag = m_old; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& m_flag;
    bool m_old;
};
}  // namespace

SortedListBox::SortedListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Qt's own sorting compares with case and is not stable; entries are
    // placed by addEntry instead.
    setSortingEnabled(false);
}

void SortedListBox::addEntry(const QString& name) {
    // After the last entry that sorts before or equal to the name, so equal
    // entries keep the order in which they came.
    int low = 0;
    int high = count();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (QString::compare(item(middle)->text(), name, Qt::CaseInsensitive) <= 0)
            low = middle + 1;
        else
            high = middle;
    }
    const FlagScope programChange(m_programChange);
    insertItem(low, name);
}

void SortedListBox::clearEntries() {
    const FlagScope programChange(m_programChange);
    clear();
}

void SortedListBox::removeEntryAt(int index) {
    if (index < 0 || index >= count()) return;
    const FlagScope programChange(m_programChange);
    QListWidgetItem* const selected = selectedItem();
    QListWidgetItem* const removed = item(index);
    // In single selection Qt moves the selection to a neighbour of a removed
    // selected entry; the user chose that entry, not its neighbour.
    delete takeItem(index);
    clearSelection();
    if (selected && selected != removed) {
        // Through the selection model, which a frozen list (no selection
        // mode) still obeys; the view's own calls would select nothing then.
        selectionModel()->setCurrentIndex(indexFromItem(selected),
                                          QItemSelectionModel::ClearAndSelect);
    } else {
        setCurrentItem(nullptr);
    }
}

QStringList SortedListBox::entries() const {
    QStringList all;
    all.reserve(count());
    for (int i = 0; i < count(); ++i) all << item(i)->text();
    return all;
}

QListWidgetItem* SortedListBox::selectedItem() const {
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? nullptr : selected.front();
}

std::optional<QString> SortedListBox::selectedEntry() const {
    if (const QListWidgetItem* selected = selectedItem()) return selected->text();
    return std::nullopt;
}

void SortedListBox::setFrozen(bool frozen) {
    m_frozen = frozen;
    // No selection mode ignores clicks and keys but keeps what is selected.
    setSelectionMode(frozen ? QAbstractItemView::NoSelection : QAbstractItemView::SingleSelection);
}

void SortedListBox::selectionChanged(const QItemSelection& selected,
                                     const QItemSelection& deselected) {
    QListWidget::selectionChanged(selected, deselected);
    if (m_programChange || m_frozen || selected.isEmpty()) return;
    emit clickedByUser();
}

void SortedListBox::mousePressEvent(QMouseEvent* event) {
    QListWidgetItem* const before = selectedItem();
    QListWidget::mousePressEvent(event);
    // A click on the entry already selected changes no selection, yet counts.
    if (!m_frozen && event->button() == Qt::LeftButton && before &&
        itemAt(event->position().toPoint()) == before && selectedItem() == before)
        emit clickedByUser();
}
