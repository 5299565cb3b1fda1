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

// The connection string as it may be shown or logged: from the value of the
// first password attribute (Pwd, Password) on, "<hidden>" stands for the rest.
QString connectionStringWithoutSecrets(const QString& connectionString);

// The text with every password that stands as a value in it (after "Pwd="
// or "Password=", in any of the forms the connection string gives it, braced
// or not) replaced by "<hidden>": for a driver's message about that
// connection, which may repeat the connection string.
QString withoutSecrets(const QString& text, const QString& connectionString);
