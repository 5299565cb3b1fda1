#pragma once

#include "db/engine.h"
#include "db/odbc_support.h"

namespace db {
namespace odbc {

// The rows of an executed statement. Where the driver allows it, rows come
// in blocks into bound buffers; values too long for their buffer, and
// columns too wide to bind, are read in pieces with SQLGetData. Nothing is
// ever cut.
std::unique_ptr<ResultEngine> readResult(std::shared_ptr<Handle> statement);

// One piece of a value read by SQLGetData into a buffer of bufferUnits code
// units: how many of them belong to the value, and whether more follows.
// A truncation (state 01004), or a length indicator past what the buffer
// got, means more follows; otherwise the indicator's length is taken.
struct Piece {
    qsizetype units;
    bool more;
};
Piece PieceOfValue(bool truncated, SQLLEN indicator, qsizetype bufferUnits);

}  // namespace odbc
}  // namespace db
