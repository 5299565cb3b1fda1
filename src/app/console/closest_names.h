#pragma once

#include <QStringList>

// The names nearest to one that is not among them, nearest first, at most
// count: a name that differs only in case comes first, then the fewest
// characters to change, insert or remove (case ignored), then by name.
QStringList ClosestNames(const QStringList& names, const QString& wanted, int count = 3);
