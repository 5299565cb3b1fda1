#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Removes the entries that equal the text exactly (case counts) and returns
// their former positions, last first, so a list box can drop the same rows.
QList<int> RemoveListEntry(QStringList& entries, const QString& text);
