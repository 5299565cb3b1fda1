#pragma once

#include <QStringList>

// The result's column names: prefixes stripped, and every name unique (case
// ignored), or neither table could be made. A taken name gets the suffix
// again until it is free; without a suffix, the first free number.
QStringList ResultColumnNames(const QStringList& joinColumns, const QString& suffix);
