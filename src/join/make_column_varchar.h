#pragma once

#include <QString>

class RunContext;

// Readies a copy's join field for the join: the field must exist (otherwise
// SQLite's own failure travels to the caller), its values stay text compared
// as text, whole and uncut, and an index on it keeps the join fast.
// A long index build yields to the context, when one is given.
void MakeColumnVarchar(const QString& table, const QString& field, const QString& path,
                       RunContext* context = nullptr);
