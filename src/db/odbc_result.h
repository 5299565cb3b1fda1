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

}  // namespace odbc
}  // namespace db
