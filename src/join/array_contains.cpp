#include "join/array_contains.h"

bool ArrayContains(const QStringList& elements, const QString& text) {
    const QString wanted = text.toLower();
    for (const QString& element : elements)
        if (element.toLower() == wanted) return true;
    return false;
}
