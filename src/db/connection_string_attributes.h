#pragma once

#include <QString>
#include <optional>

// Connection strings are "key=value;" pairs; a value may be written in braces
// ("{...}", a "}" inside doubled) so that it can hold ";" and braces.

// The value of the first attribute named key (case ignored), braces removed.
std::optional<QString> findAttribute(const QString& connectionString, const QString& key);

// The value as it must be written into a connection string: unchanged when it
// holds none of ";", "{" or "}", otherwise in braces with "}" doubled.
QString attributeValueText(const QString& value);
