#pragma once

// The types that the connection and the engines behind it share.
#include <QString>
#include <optional>
#include <vector>

namespace db {

// A value read from a database: its text as the engine itself converts it, or
// no value at all (a Null).
using Value = std::optional<QString>;
using Row = std::vector<Value>;

// How a value of empty text is written: as NULL (so the table cannot tell it
// from a missing value), or as the empty text it is.
enum class EmptyText { AsNull, AsText };

// The value as a statement binds it: an empty text as the rule says.
inline const Value& BoundValue(const Value& value, EmptyText empty) {
    static const Value null;
    return empty == EmptyText::AsNull && value && value->isEmpty() ? null : value;
}

// ADO-style connection settings; how each maps onto an engine is decided by
// the engine (see the engines' sources).
enum class Mode { Unspecified = 0, ReadWrite = 3 };
// Kept though no engine reads it (both stream rows forward, nobody asks a row count): each use
// states the side it relies on.
enum class CursorLocation { Server = 2, Client = 3 };

// What a server takes at most, as its driver reports it; 0 where it reports
// no limit. Name lengths are in bytes.
struct ServerLimits {
    int columnsInTable = 0;
    int columnNameBytes = 0;
    int tableNameBytes = 0;
};

}  // namespace db
