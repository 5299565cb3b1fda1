#include "join/remove_list_entry.h"

QList<int> RemoveListEntry(QStringList& entries, const QString& text) {
    QList<int> removed;
    for (qsizetype i = entries.size() - 1; i >= 0; --i) {
        if (entries.at(i) != text) continue;
        entries.removeAt(i);
        removed << int(i);
    }
    return removed;
}
