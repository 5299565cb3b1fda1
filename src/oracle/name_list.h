#pragma once

#include <QString>

// A list that the catalogue routines fill: emptied, then added to. The list
// keeps its own order, so callers add without giving a position.
class NameList {
public:
    virtual ~NameList() = default;
    virtual void clearEntries() = 0;
    virtual void addEntry(const QString& name) = 0;
};
