#include "join/list_contains.h"

#include "join/array_contains.h"

bool ListContains(const QStringList& entries, const QString& text) {
    return ArrayContains(entries, text);
}
